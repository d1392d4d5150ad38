/* Expat's build settings for this program (it is built here without its own configure). */
#ifndef TALLY_EXPAT_CONFIG_H
#define TALLY_EXPAT_CONFIG_H

#define BYTEORDER 1234        /* every target is little endian */
#define XML_CONTEXT_BYTES 1024
#define XML_DTD 1             /* keeps the parser's guard against entity amplification */
#define XML_NS 1

/* The hash salt's entropy: getrandom on Linux; rand_s on Windows (see winconfig.h). */
#if ! defined(_WIN32)
#  define HAVE_GETRANDOM 1
#  define XML_DEV_URANDOM 1
#endif

#endif

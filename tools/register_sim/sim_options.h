// The simulator's command line.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// How long after its answer --stray N writes the stray byte, unless N:MS says.
constexpr uint32_t kDefaultStrayMs = 20;
// In place of the milliseconds, --stray N:next: the stray byte waits for the program's next
// bytes, which it sends only once it has taken the answer.
constexpr uint32_t kStrayOnNextBytes = UINT32_MAX;

// What the simulator was asked to do. Frame numbers count every well-formed frame from 1.
struct SimOptions {
  bool pty = false;             // --pty: serve a new pseudo-terminal
  std::string device;           // DEVICE: serve this serial device instead
  std::string link;             // --link: symlink to the pseudo-terminal's slave
  uint32_t baud = 19200;        // --baud: the simulator's own line speed
  std::string dbPath;           // --db: goods base as TSV
  std::string logPath;          // --log: one line per event
  bool verbose = false;         // -v: events with time stamps on standard error
  uint32_t delayMs = 0;         // --delay: pause before every answer
  bool pace = false;            // --pace: own output at line rate
  uint32_t exitAfter = 0;       // --exit-after: frames to deal with before exiting; 0 = serve on
  bool xonXoffAtStart = false;  // --handshake xonxoff: the pty starts with IXON and IXOFF
  bool rtsCtsAtStart = false;   // --handshake rtscts: the pty starts with CRTSCTS
  uint8_t answerFirst = 0;      // --answer-bytes F:S: answer bytes 1 and 2
  uint8_t answerSecond = 0;
  std::map<uint32_t, uint8_t> errorCode;     // --error N:C
  std::set<uint32_t> silent;                 // --silent N
  std::set<uint32_t> badChecksum;            // --bad-checksum N
  std::set<uint32_t> badStart;               // --bad-start N
  std::set<uint32_t> shortAnswer;            // --short N
  std::set<uint32_t> extraByte;              // --extra-byte N
  std::map<uint32_t, uint32_t> strayMs;      // --stray N[:MS|:next]
  std::map<uint32_t, uint32_t> splitMs;      // --split N:MS
  std::map<uint32_t, uint32_t> lateMs;       // --late N:MS
  std::map<uint32_t, std::string> holdFile;  // --hold N:FILE
};

// Whether the answer to frame (from 1), as the fault options shape it, is a whole answer that
// tells the command was carried out: no error code, not silent, not garbled (bad start or
// checksum, short, an extra byte). The register keeps only what it answers so.
bool AnswersDone(const SimOptions& options, uint32_t frame);

// Parses argv[1..]. On bad usage returns false with a one-line reason in error.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

// The usage text, ending with a newline.
std::string SimUsage();

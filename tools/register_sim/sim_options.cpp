#include "tools/register_sim/sim_options.h"

#include <charconv>
#include <string_view>

namespace {

constexpr uint32_t kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// A whole decimal number within [low, high], nothing else.
bool ReadNumber(std::string_view text, uint32_t low, uint32_t high, uint32_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, status] = std::from_chars(text.data(), end, value);
  return status == std::errc() && stop == end && value >= low && value <= high;
}

// "N:V" with N a frame number and V within [low, high].
bool ReadPair(std::string_view text, uint32_t low, uint32_t high, uint32_t& frame,
              uint32_t& value) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  return ReadNumber(text.substr(0, colon), 1, UINT32_MAX, frame) &&
         ReadNumber(text.substr(colon + 1), low, high, value);
}

// "HH:HH", two hexadecimal bytes.
bool ReadHexPair(std::string_view text, uint8_t& first, uint8_t& second) {
  if (text.size() != 5 || text[2] != ':') return false;
  uint32_t a = 0;
  uint32_t b = 0;
  const auto hex = [](std::string_view digits, uint32_t& value) {
    const auto [stop, status] = std::from_chars(digits.data(), digits.data() + 2, value, 16);
    return status == std::errc() && stop == digits.data() + 2;
  };
  if (!hex(text.substr(0, 2), a) || !hex(text.substr(3, 2), b)) return false;
  first = static_cast<uint8_t>(a);
  second = static_cast<uint8_t>(b);
  return true;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string& error) {
  options = SimOptions();
  size_t i = 0;
  // The value of the option at args[i]: the part after "=" or the next argument.
  std::string name;
  std::string value;
  const auto takeValue = [&]() -> bool {
    const std::string& arg = args[i];
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      value = arg.substr(eq + 1);
      return true;
    }
    if (i + 1 >= args.size()) {
      error = name + " needs a value";
      return false;
    }
    value = args[++i];
    return true;
  };
  const auto bad = [&](const char* what) {
    error = name + ": " + what + ", not \"" + value + "\"";
    return false;
  };
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    name = arg.substr(0, arg.find('='));
    const bool hasInlineValue = name.size() != arg.size();
    uint32_t frame = 0;
    uint32_t number = 0;
    if (name == "--pty" || name == "-v" || name == "--pace") {
      if (hasInlineValue) {
        error = name + " takes no value";
        return false;
      }
      if (name == "--pty") options.pty = true;
      if (name == "-v") options.verbose = true;
      if (name == "--pace") options.pace = true;
    } else if (name == "--link" || name == "--db" || name == "--log") {
      if (!takeValue()) return false;
      if (value.empty()) return bad("expected a path");
      if (name == "--link") options.link = value;
      if (name == "--db") options.dbPath = value;
      if (name == "--log") options.logPath = value;
    } else if (name == "--baud") {
      if (!takeValue()) return false;
      bool known = false;
      for (uint32_t speed : kSpeeds) known = known || (ReadNumber(value, speed, speed, number));
      if (!known) return bad("expected a line speed such as 19200 or 9600");
      options.baud = number;
    } else if (name == "--delay" || name == "--exit-after") {
      if (!takeValue()) return false;
      if (!ReadNumber(value, 0, 3600000, number)) return bad("expected a whole number");
      (name == "--delay" ? options.delayMs : options.exitAfter) = number;
    } else if (name == "--handshake") {
      if (!takeValue()) return false;
      if (value == "xonxoff" || value == "xonxoff,rtscts" || value == "rtscts,xonxoff") {
        options.xonXoffAtStart = true;
      }
      if (value == "rtscts" || value == "xonxoff,rtscts" || value == "rtscts,xonxoff") {
        options.rtsCtsAtStart = true;
      }
      if (!options.xonXoffAtStart && !options.rtsCtsAtStart) {
        return bad("expected xonxoff, rtscts or xonxoff,rtscts");
      }
    } else if (name == "--answer-bytes") {
      if (!takeValue()) return false;
      if (!ReadHexPair(value, options.answerFirst, options.answerSecond)) {
        return bad("expected two hexadecimal bytes HH:HH");
      }
    } else if (name == "--error") {
      if (!takeValue()) return false;
      if (!ReadPair(value, 1, 255, frame, number)) return bad("expected N:C, C from 1 to 255");
      options.errorCode[frame] = static_cast<uint8_t>(number);
    } else if (name == "--stray") {
      if (!takeValue()) return false;
      number = kDefaultStrayMs;
      const size_t colon = value.find(':');
      const bool onNext = colon != std::string::npos && value.substr(colon + 1) == "next";
      if (onNext) number = kStrayOnNextBytes;
      if (onNext ? !ReadNumber(std::string_view(value).substr(0, colon), 1, UINT32_MAX, frame)
          : colon == std::string::npos ? !ReadNumber(value, 1, UINT32_MAX, frame)
                                       : !ReadPair(value, 0, 60000, frame, number)) {
        return bad("expected N, N:MS or N:next");
      }
      options.strayMs[frame] = number;
    } else if (name == "--split" || name == "--late") {
      if (!takeValue()) return false;
      if (!ReadPair(value, 0, 60000, frame, number)) return bad("expected N:MS");
      (name == "--split" ? options.splitMs : options.lateMs)[frame] = number;
    } else if (name == "--hold") {
      if (!takeValue()) return false;
      const size_t colon = value.find(':');
      if (colon == std::string::npos || colon + 1 == value.size() ||
          !ReadNumber(std::string_view(value).substr(0, colon), 1, UINT32_MAX, frame)) {
        return bad("expected N:FILE");
      }
      options.holdFile[frame] = value.substr(colon + 1);
    } else if (name == "--silent" || name == "--bad-checksum" || name == "--bad-start" ||
               name == "--short" || name == "--extra-byte") {
      if (!takeValue()) return false;
      if (!ReadNumber(value, 1, UINT32_MAX, frame)) return bad("expected a frame number from 1");
      std::set<uint32_t>& frames = name == "--silent"         ? options.silent
                                   : name == "--bad-checksum" ? options.badChecksum
                                   : name == "--bad-start"    ? options.badStart
                                   : name == "--short"        ? options.shortAnswer
                                                              : options.extraByte;
      frames.insert(frame);
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (!options.device.empty()) {
      error = "more than one device: " + options.device + ", " + arg;
      return false;
    } else {
      options.device = arg;
    }
  }
  if (options.pty == !options.device.empty()) {
    error = options.pty ? "--pty and a device exclude each other" : "give --pty or a device";
    return false;
  }
  if (!options.link.empty() && !options.pty) {
    error = "--link goes with --pty only";
    return false;
  }
  if ((options.xonXoffAtStart || options.rtsCtsAtStart) && !options.pty) {
    error = "--handshake goes with --pty only";
    return false;
  }
  return true;
}

std::string SimUsage() {
  return "usage: register-sim [options] --pty\n"
         "       register-sim [options] DEVICE\n"
         "  --link PATH       with --pty: symlink PATH to the slave, removed on exit\n"
         "  --baud SPEED      own line speed (default 19200)\n"
         "  --db FILE         goods base as TSV, rewritten after every change\n"
         "  --log FILE        append one line per event\n"
         "  -v                events with time stamps on standard error\n"
         "  --error N:C       answer frame N with error code C (1..255)\n"
         "  --silent N        no answer to frame N\n"
         "  --bad-checksum N  answer frame N with a wrong checksum\n"
         "  --bad-start N     answer frame N starting with 0x17\n"
         "  --short N         answer frame N with its first 6 bytes only\n"
         "  --extra-byte N    answer frame N with 8 bytes in one write\n"
         "  --stray N[:MS]    one stray 0x00 byte MS ms (default 20) after the answer to\n"
         "                    frame N; N:next: once the program's next bytes arrive\n"
         "  --split N:MS      answer frame N as 5 bytes, then 2 bytes MS ms later\n"
         "  --late N:MS       answer frame N only after MS ms\n"
         "  --hold N:FILE     answer frame N only once FILE exists\n"
         "  --delay MS        wait MS ms before every answer\n"
         "  --pace            send at line rate (10 bits per byte)\n"
         "  --exit-after N    exit after dealing with N frames\n"
         "  --handshake LIST  with --pty: start the line with xonxoff and/or rtscts on\n"
         "                    (comma-separated) and log its handshake at every frame\n"
         "  --answer-bytes F:S  answer bytes 1 and 2 (hexadecimal, default 00:00)\n"
         "  --version         print the version and exit\n";
}

bool AnswersDone(const SimOptions& options, uint32_t frame) {
  for (const std::set<uint32_t>* frames : {&options.silent, &options.badChecksum, &options.badStart,
                                           &options.shortAnswer, &options.extraByte}) {
    if (frames->count(frame) != 0) return false;
  }
  return options.errorCode.count(frame) == 0;
}

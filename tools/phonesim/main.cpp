// phonesim: a simulated mobile phone on a serial port, for trying Vexel
// without a phone or a cable, and for testing it.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "Phone.h"
#include "app/Version.h"

namespace {

using namespace vexel::phonesim;

constexpr char kUsage[] = R"(Usage: phonesim [options] PORT

Plays a mobile phone on a serial port, so that Vexel can be tried and tested
without a phone: it answers AT commands the way a 3GPP TS 27.007 phone does
and sends keypad reports (+CKEV) from a script or from what you type. Start
Vexel on one end of a null-modem cable (a real one, or the virtual pair of
the test rig) and phonesim on the other.

PORT is COM28 (or \\.\COM28) on Windows and under Wine; a device such as
/dev/ttyUSB0 or a pty link such as .../nullmodem/COM28 on Linux.

Options:
  -s, --script FILE    play the commands in FILE; may be given more than
                       once; "-" is standard input (the default when no
                       script is given)
  -x, --exit           end once every script has been played, instead of
                       answering on until interrupted (Ctrl+C or "quit")
  -r, --reply MODE     answer commands with: ok (default), error, silent
  -e, --echo on|off    echo command lines back (default on, as phones do)
  -k, --keys-on        key reporting on from the start, without AT+CMER
  -m, --maker NAME     play the phone of this maker (below; default vexel)
  -b, --baud N         set the port to N baud, 8N1, raw (default: leave the
                       port's settings alone, right for the rig's ptys)
  -l, --log FILE       write the log to FILE instead of standard output
  -q, --quiet          no log
  -n, --nullmodem DIR  the virtual null-modem's control folder, for
                       "hangup" (default: $VEXEL_NULLMODEM)
  -h, --help           show this text
      --version        show the version

The log has one line per event: seconds since start, then "<" for bytes
received, ">" for bytes sent or "-" for a note; bytes are shown with
\r, \n and \xHH escapes.

Examples:
  phonesim COM28                      answer Vexel; type keys to press them
  phonesim -s demo.txt -x COM28       play demo.txt, then end
  phonesim -r silent COM28            a phone that never answers
  phonesim -m motorola COM28          a Motorola: quoted keys, "lock"
  printf 'wait-keys\nclick 5\n' | phonesim -x /dev/pts/7

)";

Phone* runningPhone = nullptr;
void StopRunningPhone() {
  if (runningPhone) runningPhone->Stop();
}

int UsageError(const std::string& message) {
  std::cerr << "phonesim: " << message << "\nTry 'phonesim --help'.\n";
  return 2;
}

// Reads commands from standard input while the phone runs; each line is
// played as soon as it is read.
void ReadCommands(Phone& phone, bool exitAtEnd) {
  std::string line, error;
  while (std::getline(std::cin, line)) {
    std::vector<Step> steps;
    std::istringstream words(line);
    std::string first, more;
    if (words >> first && first == "help" && !(words >> more)) {
      std::cout << ScriptHelp() << std::flush;
      continue;
    }
    if (ParseScriptLine(line, steps, error, true))
      phone.Enqueue(std::move(steps));
    else
      std::cerr << "phonesim: " << error << "\n";
  }
  std::vector<Step> end;
  if (exitAtEnd)
    ParseScriptLine("quit", end, error);
  else
    ParseScriptLine("note end of input; still answering (Ctrl+C ends)", end, error);
  phone.Enqueue(std::move(end));
}

}  // namespace

int main(int argc, char** argv) {
  PhoneOptions options;
  std::vector<std::string> scripts;
  std::string port, logFile;
  bool exitAtEnd = false, quiet = false;
  unsigned baud = 0;
  if (const char* folder = std::getenv("VEXEL_NULLMODEM")) options.rigFolder = folder;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage << ScriptHelp();
      return 0;
    } else if (arg == "--version") {
      std::cout << "phonesim " VEXEL_VERSION " (Vexel)\n";
      return 0;
    } else if (arg == "-s" || arg == "--script") {
      if (!value(text)) return UsageError(arg + " needs a file");
      scripts.push_back(text);
    } else if (arg == "-x" || arg == "--exit") {
      exitAtEnd = true;
    } else if (arg == "-r" || arg == "--reply") {
      if (!value(text) || !ParseReplyMode(text, options.reply))
        return UsageError(arg + " takes ok, error or silent");
    } else if (arg == "-e" || arg == "--echo") {
      if (!value(text) || (text != "on" && text != "off"))
        return UsageError(arg + " takes on or off");
      options.echo = text == "on";
    } else if (arg == "-m" || arg == "--maker") {
      if (!value(text) || !(options.maker = FindMaker(text)))
        return UsageError(arg + " takes one of " + MakerNames());
    } else if (arg == "-k" || arg == "--keys-on") {
      options.keysOn = true;
    } else if (arg == "-b" || arg == "--baud") {
      if (!value(text) ||
          (baud = static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10))) == 0)
        return UsageError(arg + " needs a baud rate");
    } else if (arg == "-l" || arg == "--log") {
      if (!value(logFile)) return UsageError(arg + " needs a file");
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "-n" || arg == "--nullmodem") {
      if (!value(options.rigFolder)) return UsageError(arg + " needs a folder");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (port.empty()) {
      port = arg;
    } else {
      return UsageError("one PORT only");
    }
  }
  if (port.empty()) return UsageError("no PORT given");
  options.rigFolder = NativeFolder(options.rigFolder);
  if (scripts.empty()) scripts.push_back("-");

  // Every script file is read and checked before the phone starts.
  std::vector<std::vector<Step>> played;
  bool readsInput = false;
  for (const std::string& script : scripts) {
    if (script == "-") {
      readsInput = true;  // read while the phone runs, after the files
      continue;
    }
    std::ifstream file(script, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    played.emplace_back();
    if (!file) return UsageError("cannot read " + script);
    if (!ParseScript(text.str(), played.back(), error)) return UsageError(script + ": " + error);
  }

  std::ofstream logStream;
  if (!logFile.empty()) {
    logStream.open(logFile, std::ios::binary | std::ios::trunc);
    if (!logStream) return UsageError("cannot write " + logFile);
  }
  PhoneLog log(quiet ? nullptr : logFile.empty() ? &std::cout : &logStream);
  const std::unique_ptr<Line> line = MakePortLine(port, baud);
  Phone phone(*line, log, options);
  for (std::vector<Step>& steps : played) phone.Enqueue(std::move(steps));
  if (readsInput) {
    log.Note("commands from standard input (\"help\" lists them; a key alone clicks it)");
    std::thread(ReadCommands, std::ref(phone), exitAtEnd).detach();
  } else if (exitAtEnd) {
    std::vector<Step> quit;
    std::string error;
    ParseScriptLine("quit", quit, error);
    phone.Enqueue(std::move(quit));
  }
  runningPhone = &phone;
  CallOnInterrupt(&StopRunningPhone);
  const int status = phone.Run();
  runningPhone = nullptr;
  if (status != 0) std::cerr << "phonesim: cannot open " << port << "\n";
  std::cout.flush();
  // The reader of standard input may still be blocked in a read.
  std::_Exit(status);
}

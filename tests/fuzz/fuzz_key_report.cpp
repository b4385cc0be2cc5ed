// Received chunks, any bytes: the key report parser and both handlers, and
// the readers of answers that detect the phone's maker and key reporting.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../core/FakeKeyNames.h"
#include "../core/FakeLink.h"
#include "../core/RecordingActionPlatform.h"
#include "actions/KeysFile.h"
#include "base/Text.h"
#include "phone/KeypadRemote.h"
#include "phone/PhoneAnswers.h"
#include "phone/PhoneMakers.h"

using namespace vexel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // As the port hands a chunk over: the bytes, then one zero byte.
  const std::string chunk(reinterpret_cast<const char*>(data), size);
  const std::string_view text = UpToNul(chunk.c_str());

  size_t presses = 0;
  bool badFlag = false;
  for (const KeyEvent& event : ParseKeyEvents(text)) {
    // A key code never holds a line end (nor a comma, unless the phone
    // quoted it), and never comes from past the first NUL.
    if (event.key.find_first_of("\r\n") != std::string::npos) std::abort();
    if (event.key.find(',') != std::string::npos && text.find('"') == std::string::npos)
      std::abort();
    if (event.key.size() >= text.size()) std::abort();
    if (event.flag == '\0' || event.flag == '\r' || event.flag == '\n') std::abort();
    presses += event.flag == '1' && KeysFileCanHold(event.key);  // learn mode lists those
    badFlag |= event.flag < '0' || event.flag > '9';
  }

  // An answer fed in two pieces: bounded lines, and a choice of AT+CMER
  // values that the phone offered.
  AnswerReader reader("AT+CMER=?");
  reader.Feed(text.substr(0, text.size() / 2));
  reader.Feed(text.substr(text.size() / 2));
  const PhoneAnswer& answer = reader.Answer();
  if (answer.lines.size() > AnswerReader::kMaxLines) std::abort();
  for (const std::string& line : answer.lines)
    if (line.empty() || line.size() > AnswerReader::kMaxLineBytes) std::abort();
  if (answer.ok && !answer.complete) std::abort();
  const CmerChoice cmer = ChooseCmer(text);
  if (cmer.mode < 0 || cmer.mode > 3 || cmer.keyp < 0 || cmer.keyp > 2) std::abort();
  if (cmer.Usable() != (cmer.mode != 0 && cmer.keyp != 0)) std::abort();
  if (cmer.mode != 0 && text.find_first_of("0123456789") == std::string::npos) std::abort();
  if (MakerOfAnswer(answer.Text()) >= kDetectPhoneMaker) std::abort();

  test::VirtualLoop loop;
  test::ScriptedPort port(loop);
  test::RecordingUi ui;
  FakeKeyNames layout;
  RecordingActionPlatform platform;
  KeypadRemote remote(port, loop, ui, ui, platform, layout, "");
  KeyMap& keyMap = remote.Keys();
  KeyEventHandlers& handlers = remote.KeyEvents();

  handlers.MapKeys(chunk.c_str());
  if (keyMap.Rows().size() != presses) std::abort();
  // Every learned key runs a click when pressed again.
  for (size_t row = 0; row < keyMap.Rows().size(); ++row) keyMap.SetAction(row, "DOWN (*2 2 A*)");

  bool raised = false;
  try {
    handlers.FeedbackComm(chunk.c_str());
  } catch (const Error&) {
    raised = true;
  }
  if (raised != badFlag) std::abort();
  if (presses > 0 && platform.log.empty()) std::abort();
  return 0;
}

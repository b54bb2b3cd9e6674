#include "common/Errors.h"

#include <exception>
#include <new>

#include "common/Locale.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "platform/Platform.h"

namespace reelstart {

namespace {

constexpr std::size_t kMaxReportLength = 1023;

void ShowException(const Exception& error) {
  Platform& platform = ThePlatform();
  const std::string text = ExceptionReportText(
      error, ExtractFileName(platform.GetModuleFileNameA(), GetAnsiLeadBytes()),
      platform.GetModuleBase());
  platform.MessageBoxA(text, "Application Error",
                       win::kMbOk | win::kMbIconStop | win::kMbTaskModal);
}

}  // namespace

std::string ExceptionReportText(const Exception& error, const std::string& moduleFileName,
                                std::uintptr_t imageBase) {
  const std::string& message = error.Message();
  const bool needsPeriod = !message.empty() && message.back() != '.';
  // The image is 32-bit: an offset always fits 8 digits. An error raised
  // outside the program's code (out of memory) has no place: 0.
  const auto offset =
      static_cast<std::uint32_t>(error.Address() != 0 ? error.Address() - imageBase : 0);
  std::string text = Format("Exception %s in module %s at %s.\r\n%s%s\r\n",
                            {error.ClassName(), moduleFileName, HexDigits(offset, 8), message,
                             needsPeriod ? "." : ""});
  if (text.size() > kMaxReportLength) text.resize(kMaxReportLength);
  return text;
}

int RunWithErrorReport(void (*body)()) {
  try {
    body();
    return 0;
  } catch (const Exception& error) {
    ShowException(error);
  } catch (const std::bad_alloc&) {
    ShowException(EOutOfMemory("Out of memory"));
  } catch (const std::exception& error) {
    // The runtime's own failures (a string past its maximum length) end in
    // the same report rather than in a silent abort.
    ShowException(Exception("Exception", error.what()));
  }
  return 1;
}

}  // namespace reelstart

// The program's error classes and its top-level error report.
//
// Every failure is an exception carrying the class name and the message the
// report shows, plus the place it was raised at. Nothing below the entry
// catches them; each scope only releases what it holds.
#pragma once

#include <cstdint>
#include <string>

namespace reelstart {

class Exception {
 public:
  Exception(const char* className, std::string message)
      : className_(className), message_(std::move(message)) {}
  virtual ~Exception() = default;

  [[nodiscard]] const char* ClassName() const { return className_; }
  [[nodiscard]] const std::string& Message() const { return message_; }
  // Code address the error was raised at; 0 when unknown.
  [[nodiscard]] std::uintptr_t Address() const { return address_; }
  void SetAddress(std::uintptr_t address) { address_ = address; }

 private:
  const char* className_;
  std::string message_;
  std::uintptr_t address_ = 0;
};

#define REELSTART_ERROR_CLASS(Name, Base)                                  \
  class Name : public Base {                                               \
   public:                                                                 \
    explicit Name(std::string message, const char* className = #Name)      \
        : Base(std::move(message), className) {}                           \
  }

class EBaseError : public Exception {
 public:
  EBaseError(std::string message, const char* className)
      : Exception(className, std::move(message)) {}
};
REELSTART_ERROR_CLASS(EInOutError, EBaseError);
REELSTART_ERROR_CLASS(EStreamError, EBaseError);
REELSTART_ERROR_CLASS(EFCreateError, EStreamError);
REELSTART_ERROR_CLASS(EWriteError, EStreamError);
REELSTART_ERROR_CLASS(ERegistryException, EBaseError);
REELSTART_ERROR_CLASS(EConvertError, EBaseError);
REELSTART_ERROR_CLASS(EOutOfMemory, EBaseError);
#undef REELSTART_ERROR_CLASS

// Throws E with `message`, recording the caller's return address as the
// place of the error. Never inlined, so that the address is the raise site.
template <class E>
[[noreturn, gnu::noinline]] void Raise(std::string message) {
  E error(std::move(message));
  error.SetAddress(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  throw error;
}

// The text of the top-level report: "Exception %s in module %s at %p.\r\n%s%s\r\n"
// with the class name, the module's file name, the error's offset from
// `imageBase` as 8 upper-case hex digits, the message and a closing "." when
// the message lacks one; cut to 1023 characters.
std::string ExceptionReportText(const Exception& error, const std::string& moduleFileName,
                                std::uintptr_t imageBase);

// Runs `body` and answers the process exit code: 0 after a normal return;
// 1 after an error, once its report has been shown in the "Application
// Error" box. Every release below `body` has run before the box appears.
int RunWithErrorReport(void (*body)());

}  // namespace reelstart

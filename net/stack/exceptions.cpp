#include "net/stack/exceptions.h"

#include "platform/ws2.h"

namespace tavo::net {

namespace {
std::string StubErrorMessage(const std::string& ATitle, uint32_t ANumber, std::string& AText) {
  if (ANumber == 0) return ATitle;
  AText = platform::ws2::SystemErrorText(ANumber);
  return ATitle + ": " + AText;
}
}  // namespace

EIdWS2StubError::EIdWS2StubError(std::string ATitle, uint32_t AErrorNumber)
    : EIdException(std::string()), error_number_(AErrorNumber), title_(std::move(ATitle)) {
  SetMessage(StubErrorMessage(title_, error_number_, error_number_text_));
}

}  // namespace tavo::net

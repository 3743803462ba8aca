#include "ui/form.h"

#include "ui/dialogs.h"

namespace tavo::ui {

namespace {

std::unique_ptr<TControl> MakeControl(TForm& form, const TControlLayout& layout) {
  switch (layout.Kind) {
    case TControlKind::ckLabel: return std::make_unique<TLabel>(form, layout);
    case TControlKind::ckLinkLabel: return std::make_unique<TLinkLabel>(form, layout);
    case TControlKind::ckStyledButton: return std::make_unique<TStyledButton>(form, layout);
    case TControlKind::ckBevel: return std::make_unique<TBevel>(form, layout);
    case TControlKind::ckStatusBar: return std::make_unique<TStatusBar>(form, layout);
  }
  throw std::logic_error(std::string("a control of no known kind: ") + layout.Name);
}

TBoxAnswer box_answer;

}  // namespace

void TForm::CreateControls() {
  controls_.reserve(layout_.ControlCount);
  for (std::size_t i = 0; i < layout_.ControlCount; ++i)
    controls_.push_back(MakeControl(*this, layout_.Controls[i]));
}

TControl* TForm::FindControl(std::string_view name) const {
  for (const auto& control : controls_) {
    if (control->Name() == name) return control.get();
  }
  return nullptr;
}

void TForm::BindHandlers(const std::map<std::string, THandler, std::less<>>& handlers) {
  for (const auto& control : controls_) {
    const std::string_view name = control->Layout().OnClick;
    if (name.empty()) continue;
    auto* event = dynamic_cast<TClickEvent*>(control.get());
    const auto handler = handlers.find(name);
    if (event == nullptr || handler == handlers.end()) {
      throw std::logic_error("no handler " + std::string(name) + " for " + control->Name());
    }
    event->SetOnClick(handler->second);
  }
}

TLabel::TLabel(TForm& form, const TControlLayout& layout) : TControl(form, layout) {
  SetCaption(layout.Caption);
}

TLinkLabel::TLinkLabel(TForm& form, const TControlLayout& layout) : TLabel(form, layout) {}

std::string WithLineBreaks(const std::string& caption, const char* lineBreak) {
  std::string text;
  text.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '\r' || c == '\n') {
      text += lineBreak;
      if (c == '\r' && i + 1 < caption.size() && caption[i + 1] == '\n') ++i;
    } else {
      text += c;
    }
  }
  return text;
}

void CallHandler(const THandler& handler) {
  // std::exception covers the runtime's own errors (rtl::Exception derives from it); anything
  // else thrown is just as unexpected, and just as unable to pass a window procedure.
  try {
    handler();
  } catch (const std::exception& error) {
    if (TApplication* application = TApplication::Instance()) {
      application->ShowException(error.what());
    } else {
      SetBusyCursor(false);
      ShowMessageBox(error.what(), {}, mtError, {});
    }
  } catch (...) {
    if (TApplication* application = TApplication::Instance()) {
      application->ShowException("unknown error");
    }
  }
}

void SetBoxAnswer(TBoxAnswer answer) { box_answer = std::move(answer); }

bool AnsweredWithoutBox(const std::string& title, const std::string& text) {
  if (!box_answer) return false;
  box_answer(title, text);
  return true;
}

void TApplication::ShowException(const std::string& message) {
  // The busy cursor of an interrupted action would otherwise stay on over the box.
  SetBusyCursor(false);
  ShowMessageBox(message, title_, mtError, ok_caption_);
}

}  // namespace tavo::ui

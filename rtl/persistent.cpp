#include "rtl/persistent.h"

#include "resources/rtl_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace tavo::rtl {

void TPersistent::Assign(const TPersistent& Source) { Source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& Dest) const { Dest.AssignError(this); }

void TPersistent::AssignError(const TPersistent* Source) const {
  const std::string source_name = Source ? Source->ClassName() : std::string("nil");
  throw EConvertAssignError(Format(res::kAssignError, {source_name, ClassName()}));
}

}  // namespace tavo::rtl

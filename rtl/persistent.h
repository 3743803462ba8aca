#pragma once
// Settings objects that can take their values from another object of a compatible class.
// Assign asks the target first; a target that does not know the source's class lets the source
// try AssignTo; when neither knows the other the copy is refused with EConvertAssignError, so a
// wrong pairing never silently copies nothing.

#include <string>

namespace tavo::rtl {

class TPersistent {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  // Copies the values of Source into this object; raises EConvertAssignError
  // "<source class> kann nicht zu <target class> zugewiesen werden" when the classes do not fit.
  virtual void Assign(const TPersistent& Source);

  // The class name shown in assignment errors.
  virtual std::string ClassName() const { return "TPersistent"; }

 protected:
  // Called on the source when the target could not take it; the default refuses.
  virtual void AssignTo(TPersistent& Dest) const;
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

}  // namespace tavo::rtl

#include "net/tls/tls.h"

namespace tavo::net {

void TIdTLSSettings::Assign(const rtl::TPersistent& Source) {
  if (const auto* other = dynamic_cast<const TIdTLSSettings*>(&Source)) {
    ca_file_ = other->ca_file_;
    insecure_skip_certificate_check_ = other->insecure_skip_certificate_check_;
    return;
  }
  rtl::TPersistent::Assign(Source);
}

}  // namespace tavo::net

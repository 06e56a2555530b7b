// The TLS engine of the Windows platform, built on Schannel.
#pragma once

#include <windows.h>

#include <memory>

#include "mail/tls/tls_engine.h"

namespace zankit::mail {

std::unique_ptr<TlsEngine> MakeSchannelEngine();

}  // namespace zankit::mail

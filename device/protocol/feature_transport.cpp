#include "feature_transport.h"

#include <system_error>

namespace vorlane {

TransferResult TransferResult::SystemFailed(int systemError) {
  // The system category gives strerror() on POSIX and FormatMessage() on Windows.
  return Failed(std::system_category().message(systemError) + " (error " +
                    std::to_string(systemError) + ")",
                systemError);
}

}  // namespace vorlane

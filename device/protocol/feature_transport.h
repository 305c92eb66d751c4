// One feature report transfer, as the device layer carries it out, and what came of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace vorlane {

struct TransferResult {
  bool ok = false;
  // Bytes sent or received, the report id byte included. Meaningful only when ok.
  std::size_t bytes = 0;
  // errno or GetLastError() where the system refused the transfer; 0 otherwise.
  int systemError = 0;
  // Why the transfer failed, in words; empty when it succeeded.
  std::string message;

  static TransferResult Done(std::size_t bytes) { return {true, bytes, 0, {}}; }
  static TransferResult Failed(std::string message, int systemError = 0) {
    return {false, 0, systemError, std::move(message)};
  }
  // A failure that the system reported with an error code: its text and the number.
  static TransferResult SystemFailed(int systemError);
};

// Something that carries feature reports to the stick and back. Byte 0 of the buffer
// is the report id; a get receives at most size bytes into it.
class FeatureTransport {
 public:
  virtual ~FeatureTransport() = default;
  virtual TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) = 0;
  virtual TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) = 0;
};

}  // namespace vorlane

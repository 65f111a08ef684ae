// SPDX-License-Identifier: GPL-3.0-or-later
// TStatus: the result of a core input/output operation (opening or reading a
// source, writing a file, reading settings): success, or one message for the
// user that names what failed and why ("jupiter.avi: not a valid AVI file").
//
// The convention of the whole core: operations that touch files return a
// TStatus (or fill one beside their result); exceptions are left for
// programming errors. A caller either acts on the failure or shows Message().
#pragma once

#include <string>
#include <utility>

class [[nodiscard]] TStatus {
 public:
  TStatus() = default;  // success
  static TStatus Ok() { return TStatus(); }
  static TStatus Fail(std::string message) {
    TStatus s;
    s.Failed_ = true;
    s.Message_ = message.empty() ? std::string("unknown error") : std::move(message);
    return s;
  }

  bool ok() const { return !Failed_; }
  explicit operator bool() const { return !Failed_; }
  const std::string& Message() const { return Message_; }

 private:
  bool Failed_ = false;
  std::string Message_;
};

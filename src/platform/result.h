// Success or failure of one platform operation; nothing throws across the seam.
#pragma once

#include <cassert>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace ostrael {

// Which operation failed, the platform's own code (HRESULT, Win32 error, errno) and a short text.
struct Failure {
  std::string operation;
  std::int64_t code = 0;
  std::string text;
};

// One line for the diagnostic output, e.g. "GetDrive failed (0x80070015): The device is not ready."
std::string describe(const Failure& failure);

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Failure failure) : state_(std::move(failure)) {}

  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { assert(*this); return std::get<0>(state_); }
  const T& operator*() const { assert(*this); return std::get<0>(state_); }
  T* operator->() { return &**this; }
  const T* operator->() const { return &**this; }
  const Failure& failure() const { assert(!*this); return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}

  explicit operator bool() const { return ok_; }
  const Failure& failure() const { assert(!ok_); return failure_; }

 private:
  Failure failure_;
  bool ok_ = true;
};

using Status = Result<void>;

}  // namespace ostrael

#define OSTRAEL_CONCAT_INNER(a, b) a##b
#define OSTRAEL_CONCAT(a, b) OSTRAEL_CONCAT_INNER(a, b)

// Ends the calling procedure with the failure of `expr`, if it failed.
#define RETURN_IF_FAILED(expr)                        \
  do {                                                \
    if (auto result_ = (expr); !result_)              \
      return ::ostrael::Status(result_.failure());    \
  } while (false)

// Declares `lhs` from the value of `expr`, or ends the calling procedure with its failure.
#define ASSIGN_OR_RETURN(lhs, expr) ASSIGN_OR_RETURN_IMPL(OSTRAEL_CONCAT(result_, __LINE__), lhs, expr)
#define ASSIGN_OR_RETURN_IMPL(tmp, lhs, expr)         \
  auto tmp = (expr);                                  \
  if (!tmp) return ::ostrael::Status(tmp.failure());  \
  lhs = std::move(*tmp)

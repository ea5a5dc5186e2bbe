// The outcome of an operation that can fail with a message for the user:
// Status when there is nothing to return, Result<T> when there is.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace flashsmith::base {

class Status {
public:
    Status() = default;  // success
    static Status Fail(std::string error) {
        Status s;
        s.failed_ = true;
        s.error_ = std::move(error);
        return s;
    }

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    // Empty on success.
    const std::string& Error() const { return error_; }

    // For callers that still report through a bool and an optional error
    // text: copies the message into *error on failure (when error is set).
    bool Ok(std::string* error) const {
        if (failed_ && error) *error = error_;
        return !failed_;
    }

private:
    bool failed_ = false;
    std::string error_;
};

template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    // A Status without a failure here is a slip of the caller (the value is
    // missing): it becomes a failure that says so, never a silent empty one.
    Result(Status failure)
        : v_(failure.Ok() ? Status::Fail("internal error: a result without a value") : std::move(failure)) {}
    static Result Fail(std::string error) { return Result(Status::Fail(std::move(error))); }

    bool Ok() const { return v_.index() == 0; }
    explicit operator bool() const { return Ok(); }
    const std::string& Error() const {
        static const std::string none;
        return Ok() ? none : std::get<1>(v_).Error();
    }
    // Only on success.
    T& operator*() { return std::get<0>(v_); }
    const T& operator*() const { return std::get<0>(v_); }
    T* operator->() { return &std::get<0>(v_); }
    const T* operator->() const { return &std::get<0>(v_); }
    Status ToStatus() const { return Ok() ? Status() : std::get<1>(v_); }

    // For callers that fill an existing object and report through an
    // optional error text: moves the value into out on success, copies the
    // message into *error (when error is set) on failure.
    bool Take(T& out, std::string* error = nullptr) {
        if (!Ok()) {
            if (error) *error = Error();
            return false;
        }
        out = std::move(std::get<0>(v_));
        return true;
    }

private:
    std::variant<T, Status> v_;
};

// For code that fills an object and reports through an optional error text:
// sets *error (when given) and returns false.
inline bool FailWith(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// Runs such code, work(T& out, std::string* error) -> bool, as a Result.
template <class T, class Work>
Result<T> AsResult(Work&& work) {
    T out{};
    std::string error;
    if (!work(out, &error)) return Status::Fail(std::move(error));
    return out;
}

}  // namespace flashsmith::base

#pragma once

// Errors are values: an operation that can fail returns a Status or a Result<T>
// carrying a message a person can act on. Each layer that passes an error up
// may prefix what it was doing ("unpack settings: ...").

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace txisp {

class Status {
public:
    static Status Ok() { return Status(); }
    static Status Fail(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& message() const { return message_; }

    // Prefixes the message with what the caller was doing; no effect on success.
    Status& Context(std::string_view what) {
        if (failed_) message_ = std::string(what) + ": " + message_;
        return *this;
    }

private:
    Status() = default;
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

    bool failed_ = false;
    std::string message_;
};

template <typename T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}       // NOLINT: implicit by design
    Result(Status error) : state_(std::move(error)) {}  // NOLINT: must be a failed Status

    static Result Fail(std::string message) { return Result(Status::Fail(std::move(message))); }

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<T>(state_); }
    T& value() & { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    // The failure as a Status; Status::Ok() when a value is held.
    Status status() const { return ok() ? Status::Ok() : std::get<Status>(state_); }
    const std::string& error() const {
        static const std::string kNone;
        return ok() ? kNone : std::get<Status>(state_).message();
    }

    Result& Context(std::string_view what) {
        if (!ok()) std::get<Status>(state_).Context(what);
        return *this;
    }

private:
    std::variant<T, Status> state_;
};

}  // namespace txisp

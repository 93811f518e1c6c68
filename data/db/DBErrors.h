#pragma once
// The errors of the dataset framework. Every failure is an exception carrying
// the text the operator sees; EAbort is the silent one that the event loop
// swallows without a message.
#include "platform/Strings.h"

#include <stdexcept>

namespace db {

class TComponent;

/// A database error; its what() is the message shown to the operator.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

/// A conversion that cannot be made ("'x' is not a valid integer value").
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

/// The silent exception: it ends an operation without any message.
class EAbort : public std::runtime_error {
public:
    EAbort() : std::runtime_error("Operation aborted") {}
};

/// Raises EDatabaseError; the message is prefixed "<Name>: " when the component has a name.
[[noreturn]] void DatabaseError(const std::string& message, const TComponent* component = nullptr);

/// Raises EAbort.
[[noreturn]] inline void Abort() {
    throw EAbort();
}

// Message texts, filled with std::format-free helpers where they take an argument.
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SRecordNotFound = "Record not found or changed by another user";
inline constexpr const char* SBookmarkNotFound = "Bookmark not found";

} // namespace db

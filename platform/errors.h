#pragma once

// How errors travel:
// - Below the user interface (conversions, setters, the electrical model) a failure is an
//   exception of the hierarchy below. It is caught at the user-interface boundary (a property
//   write, a menu command, an event handler); none may cross Qt's event dispatch.
// - Where outside input comes in (reading a board file, loading a HEX or binary image) the
//   result is a value that says what went wrong (BoardFile::TReadResult, mcs51::LoadResult), as a
//   damaged file is an expected outcome, not a fault.
// - A message reaches the user only through the dialog service (platform/dialogs.h): ReportError
//   for a caught exception, ShowErrorBox for a result's message.

#include <QString>
#include <stdexcept>

// The root of the program's own exceptions; Message() is the text ReportError shows.
class BrelvanError : public std::runtime_error {
public:
    explicit BrelvanError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};

// A text could not be turned into a property value (or the reverse).
class ConversionError : public BrelvanError {
public:
    using BrelvanError::BrelvanError;
};

// A component refused an operation: a duplicate or invalid name, a value it does not take.
class ComponentError : public BrelvanError {
public:
    using BrelvanError::BrelvanError;
};

// A picture name that the picture registry does not know.
class PictureError : public BrelvanError {
public:
    using BrelvanError::BrelvanError;
};

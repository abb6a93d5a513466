#pragma once

#include <QString>
#include <stdexcept>

// Failures of conversions and setters travel as exceptions and are shown once, at the UI boundary,
// by ReportError (platform/dialogs.h). Nothing of this hierarchy may cross Qt's event dispatch.
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

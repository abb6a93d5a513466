#pragma once

#include <QDir>
#include <QString>

class TfrmPlugin;

// The scenario runner's trace commands ("trace", "export-vcd"). True when the command ran; false
// with the reason in `error` when it could not.
bool IsTraceCommand(const QString& command);
bool RunTraceCommand(TfrmPlugin* window, const QString& command, const QString& rest,
                     const QDir& directory, QString* error);

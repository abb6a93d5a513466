#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include "model/boardlink.h"

// A board for model tests: records the messages and error boxes it receives and answers the port
// address check with a scripted value.
class TestBoard : public QObject, public BoardLink {
    Q_OBJECT

public:
    struct Sent {
        quint32 msg;
        quint32 wParam;
        qintptr lParam;
    };

    explicit TestBoard(QObject* parent = nullptr) : QObject(parent) {}
    ~TestBoard() override;

    bool Suspended() const override { return suspended; }
    TNodeArray& Nodes() override { return nodes; }
    bool HasWindow() const override { return hasWindow; }
    void ShowError(const QString& text) override { errors.append(text); }
    QList<QObject*> BoardComponents() const override { return components; }
    void ReportOscillation(const QString& where) override { oscillations.append(where); }
    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override;

    // Gives the board the two rail nodes, each with one driver contact, as a running board has.
    void MakeRails();

    QList<Sent> SentWith(quint32 msg) const;

    bool suspended = false;
    bool hasWindow = true;
    qintptr addressAnswer = 0;
    TNodeArray nodes;
    QStringList errors;
    QStringList oscillations;
    QList<Sent> sent;
    QList<QObject*> components;
};

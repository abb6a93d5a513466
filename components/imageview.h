#pragma once

#include <QString>
#include <QWidget>

#include "model/boardlink.h"

// A control's active picture: a transparent child of its component that covers the whole
// component and paints one picture stretched over it. It lets every mouse event through to the
// component underneath, so the component handles the mouse as if the view were not there.
class TOrvexImageView : public QWidget, public ControlView {
    Q_OBJECT

public:
    // Created hidden; follows the component's size from then on.
    TOrvexImageView(QWidget* component, const QString& pictureName);

    void ShowView() override;
    void HideView() override;
    bool IsViewShown() const override;
    void LoadViewPicture(const QString& name) override;
    void RepaintView() override;
    QObject* ViewObject() override { return this; }

    // The picture shown; empty when the last name given was unknown.
    const QString& PictureName() const { return m_pictureName; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_pictureName;
};

// The view factory the electrical model creates control views with (model/boardlink.h).
ControlView* CreateImageView(QObject* component, const QString& pictureName);

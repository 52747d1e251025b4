#pragma once

#include <QColor>
#include <QWidget>

// A plain view that paints its own filled background and border, so panels look
// the same on every platform style.
class PanelView : public QWidget
{
    Q_OBJECT
public:
    explicit PanelView(QWidget *parent = nullptr);

    void setBackgroundColor(const QColor &color);
    QColor backgroundColor() const { return _background; }
    void setBorderWidth(qreal width);
    qreal borderWidth() const { return _borderWidth; }
    void setBorderColor(const QColor &color);
    QColor borderColor() const { return _borderColor; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor _background;                 // invalid: transparent
    qreal _borderWidth = 0;
    QColor _borderColor = Qt::black;
};

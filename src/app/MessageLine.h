#pragma once

#include <QColor>
#include <QLabel>

// The window's one-line message: centred text on a filled background inside a
// border it paints itself.
class MessageLine : public QLabel
{
    Q_OBJECT
public:
    explicit MessageLine(QWidget *parent = nullptr);

    void setBackgroundColor(const QColor &color);
    QColor backgroundColor() const { return _background; }
    void setBorderWidth(qreal width);
    qreal borderWidth() const { return _borderWidth; }
    void setBorderColor(const QColor &color);
    QColor borderColor() const { return _borderColor; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor _background;
    qreal _borderWidth = 0;
    QColor _borderColor = Qt::black;
};

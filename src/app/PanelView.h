#pragma once

#include <QColor>
#include <QLabel>
#include <QPainter>
#include <QWidget>

class QPaintEvent;

namespace vk {

// The filled background and border the window's panels share. Drawn by the
// widget itself, so the panels look the same under every platform style.
class PanelLook
{
public:
    QColor backgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor &color) { m_background = color; }
    qreal borderWidth() const { return m_borderWidth; }
    void setBorderWidth(qreal width) { m_borderWidth = width; }
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color) { m_borderColor = color; }

    void paintBackground(QPainter &painter, const QRect &rect) const;
    // Inside the rectangle's edges and over the content, as a layer border lies.
    void paintBorder(QPainter &painter, const QRect &rect) const;

private:
    QColor m_background; // invalid: transparent
    qreal m_borderWidth = 0;
    QColor m_borderColor = Qt::black;
};

// A widget of type Base wearing the panel look: background under its own
// painting, border over it.
template <class Base>
class Panel : public Base
{
public:
    using Base::Base;

    QColor backgroundColor() const { return m_look.backgroundColor(); }
    void setBackgroundColor(const QColor &color) { m_look.setBackgroundColor(color); this->update(); }
    qreal borderWidth() const { return m_look.borderWidth(); }
    void setBorderWidth(qreal width) { m_look.setBorderWidth(width); this->update(); }
    QColor borderColor() const { return m_look.borderColor(); }
    void setBorderColor(const QColor &color) { m_look.setBorderColor(color); this->update(); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        {
            QPainter painter(this);
            m_look.paintBackground(painter, this->rect());
        }
        Base::paintEvent(event);
        QPainter painter(this);
        m_look.paintBorder(painter, this->rect());
    }

private:
    PanelLook m_look;
};

} // namespace vk

// A plain panel that holds controls, and the one-line message of the window.
using PanelView = vk::Panel<QWidget>;
using MessageLine = vk::Panel<QLabel>;

#pragma once

#include <QMainWindow>

// What the main window tells its delegate.
class WindowDelegate
{
public:
    virtual ~WindowDelegate() = default;
    virtual void windowWillClose() = 0;
};

// The main window. A click that no control takes reaches it and is logged in
// window coordinates, y counted up from the bottom of the content area.
class CustomNSWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit CustomNSWindow(QWidget *parent = nullptr);

    void setDelegate(WindowDelegate *delegate) { m_delegate = delegate; }
    WindowDelegate *delegate() const { return m_delegate; }

    quint8 windowclick2() const { return _windowclick2; }
    void setWindowclick2(quint8 v) { _windowclick2 = v; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    WindowDelegate *m_delegate = nullptr;
    quint8 windowclick = 0; // declared, unused
    quint8 _windowclick2 = 0;
};

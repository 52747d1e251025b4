#include "Frames.h"

#include <QWidget>

namespace vk {

QRect bottomLeftFrame(int parentHeight, int x, int y, int width, int height)
{
    return QRect(x, parentHeight - y - height, width, height);
}

void setBottomLeftFrame(QWidget *widget, int parentHeight, int x, int y, int width, int height)
{
    widget->setGeometry(bottomLeftFrame(parentHeight, x, y, width, height));
}

} // namespace vk

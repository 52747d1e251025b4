#pragma once

#include <QRect>

class QWidget;

namespace vk {

// Frames are written with the origin at the parent's lower-left corner and y
// growing upwards; this is the one place that turns them into widget geometry.
QRect bottomLeftFrame(int parentHeight, int x, int y, int width, int height);

// Sets widget's geometry from a bottom-left frame inside a parent of that height.
void setBottomLeftFrame(QWidget *widget, int parentHeight, int x, int y, int width, int height);

} // namespace vk

// Draws the hand cursor of the draggable scroll view: a white hand with a dark
// outline, so that it shows on light and dark pages alike, pointing up with its
// index finger. The fingertip, the cursor's hot spot, lies at (8, 8).
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

static QPainterPath roundedRect(qreal x, qreal y, qreal width, qreal height, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, width, height), radius, radius);
    return path;
}

static QPainterPath handOutline()
{
    QPainterPath hand = roundedRect(5.5, 6.5, 5.0, 15.0, 2.5);     // index finger
    hand = hand.united(roundedRect(10.0, 13.5, 5.0, 9.0, 2.5));   // folded fingers
    hand = hand.united(roundedRect(14.5, 14.5, 5.0, 9.0, 2.5));
    hand = hand.united(roundedRect(19.0, 15.5, 5.0, 9.0, 2.5));
    hand = hand.united(roundedRect(5.5, 18.0, 18.5, 11.5, 4.0));  // palm
    hand = hand.united(roundedRect(1.5, 17.5, 7.0, 5.0, 2.5));    // thumb
    return hand.simplified();
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(20, 20, 20), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::white);
        painter.drawPath(handOutline());
        // Creases between the folded fingers.
        painter.setPen(QPen(QColor(20, 20, 20), 1.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(14.5, 17.0), QPointF(14.5, 21.0));
        painter.drawLine(QPointF(19.0, 18.0), QPointF(19.0, 22.0));
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

// The viewer's rendering limit on a page no screen could hold as one image: a
// 200 x 200 inch page at zoom 4.0 (57,600 pixels square, 13 GB as one image),
// scrolled down its whole height and across its whole width, each screen
// waited for until its tiles are painted. Figures: peak resident memory of the
// process and the longest time the GUI thread went without its 10 ms timer.

#include "FigureTable.h"
#include "PdfDocument.h"
#include "PdfFixtures.h"
#include "PdfTiles.h"
#include "PdfView.h"
#include "ProcStatus.h"
#include "TickGaps.h"
#include "WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>

using namespace vk;

namespace {

constexpr double kPeakGoalMiB = 700;
constexpr double kGapGoalMs = 100;
constexpr int kPaintWaitMs = 30000;
constexpr double kZoom = 4.0;
constexpr qreal kPagePoints = 200 * 72;

// Text from the top to the bottom of the page, so that every tile has work.
QByteArray hugePage()
{
    QStringList lines;
    for (int i = 0; i * 24 + 60 < kPagePoints; ++i)
        lines.append(QStringLiteral("line %1 of a page two hundred inches square, ").arg(i).repeated(12));
    const QPageSize size(QSizeF(kPagePoints, kPagePoints), QPageSize::Point);
    return PdfFixtures::makePdf({{lines.join(u'\n'), size, QColor(250, 245, 230)}}, 18);
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_hugepage: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    auto doc = std::make_shared<PdfDocument>();
    if (!doc->load(hugePage()))
        return fail("the page does not load");
    qint64 largestImage = 0;
    int images = 0;
    QObject::connect(doc.get(), &PdfDocument::pageRendered, [&](const PdfRenderRequest &, const QImage &image) {
        largestImage = std::max(largestImage, pixelCount(image.size()));
        ++images;
    });

    PdfView view;
    view.resize(1000, 800);
    view.show();
    view.setScaleFactor(kZoom);
    view.setDocument(doc);
    QScrollBar *down = view.verticalScrollBar();
    QScrollBar *across = view.horizontalScrollBar();
    // Down the left edge, then across the middle.
    QList<QPoint> screens;
    for (int y = 0; y < down->maximum() + down->pageStep(); y += down->pageStep())
        screens.append({0, std::min(y, down->maximum())});
    for (int x = 0; x < across->maximum() + across->pageStep(); x += across->pageStep())
        screens.append({std::min(x, across->maximum()), down->maximum() / 2});

    TickGaps gaps;
    QElapsedTimer t;
    t.start();
    int painted = 0;
    QObject::connect(&view, &PdfView::pagePainted, [&](int) { ++painted; });
    for (const QPoint &screen : std::as_const(screens)) {
        painted = 0;
        across->setValue(screen.x());
        down->setValue(screen.y());
        if (!waitUntil([&] { return painted > 0; }, kPaintWaitMs))
            return fail("a screen was never painted");
    }
    const double longestGap = gaps.longestMs();
    const double seconds = double(t.elapsed()) / 1000;

    const QString name = QStringLiteral("200 x 200 in page at zoom %1").arg(kZoom, 0, 'f', 1);
    FigureTable table;
    table.add(name, QStringLiteral("screens scrolled through (1000 x 800)"), screens.size(), QString());
    table.add(name, QStringLiteral("time for all of them"), seconds, QStringLiteral("s"));
    const QSize whole = (QSizeF(kPagePoints, kPagePoints) * kZoom * view.devicePixelRatioF()).toSize();
    table.add(name, QStringLiteral("the page as one image (reference)"), double(pixelCount(whole)) * 4 / (1 << 30),
              QStringLiteral("GiB"));
    table.add(name, QStringLiteral("images rendered"), images, QString());
    table.add(name, QStringLiteral("largest image, limit %1 MP").arg(kMaxImagePixels / 1e6, 0, 'f', 0),
              double(largestImage) / 1e6, QStringLiteral("MP"));
    table.add(name, QStringLiteral("peak resident memory (VmHWM)"), statusMiB(0, "VmHWM"), QStringLiteral("MiB"),
              kPeakGoalMiB);
    table.add(name, QStringLiteral("longest GUI gap"), longestGap, QStringLiteral("ms"), kGapGoalMs);
    table.print();
    return 0;
}

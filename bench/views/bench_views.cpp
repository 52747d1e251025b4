// Cost of redrawing a small area of a PDFImageView as the file grows: only the
// pages meeting the area are looked at and drawn, so the time should stay flat
// from 10 to 1,000 pages. The search for those pages is also timed on its own.
#include "PdfFixtures.h"
#include "PDFImageView.h"
#include "PageSource.h"
#include "PageStackPainter.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>

using namespace vk;

namespace {

QTemporaryDir *fixtureDir = nullptr;

QString fixtureWithPages(int pageCount)
{
    static std::map<int, QString> written;
    auto found = written.find(pageCount);
    if (found != written.end())
        return found->second;
    const QString path = fixtureDir->filePath(QStringLiteral("pages-%1.pdf").arg(pageCount));
    if (!PdfFixtures::writeFile(path, PdfFixtures::colouredPdf(pageCount)))
        return QString();
    written[pageCount] = path;
    return path;
}

// Redraws a 100 x 100 area in the middle of the stack, as a repaint during a drag does.
void smallRedraw(benchmark::State &state)
{
    const int pageCount = int(state.range(0));
    PDFImageView view;
    view.loadFromPath(fixtureWithPages(pageCount));
    if (!view.pdfRep()) {
        state.SkipWithError("fixture PDF did not load");
        return;
    }
    const QRectF dirty(250, view.height() / 2.0 - 50, 100, 100);
    QImage canvas(100, 100, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&canvas);
        painter.translate(-dirty.topLeft());
        painter.setClipRect(dirty);
        view.drawRect(painter, dirty);
    }
    state.counters["pages"] = pageCount;
}

class CountingSource : public PageSource
{
public:
    explicit CountingSource(qint32 count) : m_count(count) {}
    qint32 pageCount() const override { return m_count; }
    QRectF bounds() const override { return QRectF(0, 0, 612, 792); }
    qint32 currentPage() const override { return m_current; }
    void setCurrentPage(qint32 page) override { m_current = page; }
    void drawInRect(QPainter &, const QRectF &) override { ++drawn; }
    qint64 drawn = 0;

private:
    qint32 m_count;
    qint32 m_current = 0;
};

// Finding the pages that meet the area, with drawing left out.
void pageLookup(benchmark::State &state)
{
    CountingSource source(qint32(state.range(0)));
    QImage canvas(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    const QRectF dirty(250, 792.0 * state.range(0) / 2.0 - 50, 100, 100);
    for (auto _ : state)
        drawPageStack(painter, source, dirty, true);
    state.counters["drawn/redraw"] = double(source.drawn) / double(state.iterations());
}

} // namespace

BENCHMARK(smallRedraw)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(pageLookup)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    fixtureDir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

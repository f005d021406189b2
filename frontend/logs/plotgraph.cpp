#include "frontend/logs/plotgraph.h"

#include "frontend/logs/fulllog.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kAutoTickCount = 10;
constexpr int kVisibleRuns = 100;
constexpr double kScatterSize = 8;
constexpr double kScatterPenWidth = 2;

QCPScatterStyle scatter(QCPScatterStyle::ScatterShape shape, const QColor &brush)
{
    return QCPScatterStyle(shape, QPen(QBrush(Qt::red), kScatterPenWidth, Qt::SolidLine),
                           QBrush(brush), kScatterSize);
}

QSharedPointer<QCPAxisTickerText> textTicker(const QVector<double> &keys, const QStringList &labels)
{
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    ticker->setTickCount(kAutoTickCount);
    ticker->setSubTickCount(0);
    const int n = std::min<int>(keys.size(), labels.size());
    for (int i = 0; i < n; ++i)
        ticker->addTick(keys.at(i), labels.at(i));
    return ticker;
}
constexpr int kAxisCutPadding = 5; // the alarm rows' padding, see padAlarmLabels()
} // namespace

RowAxisTicker::RowAxisTicker(QCPAxis *axis, const QStringList &labels)
    : m_axis(axis)
    , m_labels(labels)
{
    for (QString &label : m_labels)
        label = axisText(label);
}

QString RowAxisTicker::axisText(const QString &label)
{
    if (label.size() <= kAxisLabelChars + kAxisCutPadding)
        return label;
    return label.trimmed().left(kAxisLabelChars) + QStringLiteral("\u2026");
}

int RowAxisTicker::labelStep() const
{
    const QCPRange range = m_axis->range();
    const double rows = range.size();
    QCustomPlot *plot = m_axis->parentPlot();
    if (rows <= 0 || !plot || !m_axis->axisRect())
        return 1;
    // The ticks are made before the layout: the axis will be as much
    // shorter than the plot as it was at the last layout, whatever size
    // (on screen, on paper) the plot is drawn at now. The layout's own
    // rectangle is the new one already; its parts still have the old.
    QRect laidOut;
    for (QCPLayoutElement *element : plot->plotLayout()->elements(false)) {
        if (element)
            laidOut |= element->outerRect();
    }
    const int around = laidOut.height() - m_axis->axisRect()->height();
    const int pixels = plot->viewport().height() - std::max(0, around);
    if (pixels <= 0)
        return 1;
    const double pitch = pixels / rows;
    // Labels touch, but their letters do not overlap, one ascent apart.
    const int textHeight = QFontMetrics(m_axis->tickLabelFont()).ascent();
    return std::max(1, int(std::ceil(textHeight / pitch)));
}

void RowAxisTicker::generate(const QCPRange &range, const QLocale &, QChar, int,
                             QVector<double> &ticks, QVector<double> *subTicks,
                             QVector<QString> *tickLabels)
{
    ticks.clear();
    if (subTicks)
        subTicks->clear();
    if (tickLabels)
        tickLabels->clear();
    const int step = labelStep();
    const int first = std::max(0, int(std::ceil(range.lower)));
    const int last = std::min<int>(int(m_labels.size()) - 1, int(std::floor(range.upper)));
    for (int row = first; row <= last; ++row) {
        // Thinned rows keep their tick, so the grid still shows every row.
        ticks.append(row);
        if (tickLabels)
            tickLabels->append(step == 1 || row % step == 0 ? m_labels.at(row) : QString());
    }
}

double RunAxisTicker::getTickStep(const QCPRange &range)
{
    const double exact = range.size() / (mTickCount + 1e-10);
    if (!(exact > 1))
        return 1;
    double magnitude = 1;
    const double mantissa = getMantissa(exact, &magnitude);
    // The library's readable steps include 2.5, which is no whole run.
    double best = 1;
    for (double step : {2.0, 5.0, 10.0}) {
        if (std::abs(step - mantissa) < std::abs(best - mantissa))
            best = step;
    }
    return std::max(1.0, std::round(best * magnitude));
}

QString RunAxisTicker::getTickLabel(double tick, const QLocale &locale, QChar formatChar,
                                    int precision)
{
    Q_UNUSED(locale);
    Q_UNUSED(formatChar);
    Q_UNUSED(precision);
    return QString::number(std::llround(tick));
}

RunRowGraph::RunRowGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{}

QVector<QCPGraphData> RunRowGraph::pointsToDraw() const
{
    QVector<QCPGraphData> points;
    QCPGraphDataContainer::const_iterator begin;
    QCPGraphDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
    getOptimizedScatterData(&points, begin, end);
    return points;
}

void RunRowGraph::getOptimizedScatterData(QVector<QCPGraphData> *scatterData,
                                          QCPGraphDataContainer::const_iterator begin,
                                          QCPGraphDataContainer::const_iterator end) const
{
    if (!scatterData)
        return;
    scatterData->clear();
    const QCPAxis *keyAxis = mKeyAxis.data();
    if (!keyAxis)
        return;
    const bool keysGrowWithPixels = !keyAxis->rangeReversed();
    const auto keyBelow = [](const QCPGraphData &point, double key) { return point.key < key; };
    // Keys are sorted: take the first point of a column, then jump to the
    // first key of the next column.
    for (auto it = begin; it != end;) {
        scatterData->append(*it);
        const double column = std::floor(keyAxis->coordToPixel(it->key));
        const double nextKey = keyAxis->pixelToCoord(keysGrowWithPixels ? column + 1 : column);
        it = std::lower_bound(it + 1, end, nextKey, keyBelow);
    }
}

void RunRowGraph::drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                                  const QCPScatterStyle &style) const
{
    const QCPPainter::PainterModes exportModes = QCPPainter::pmVectorized | QCPPainter::pmNoCaching;
    if ((painter->modes() & exportModes) || !painter->device() || style.isNone()) {
        QCPGraph::drawScatterPlot(painter, scatters, style);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QPixmap &stamp = stampFor(style, ratio);
    const QPointF centre(stamp.width() / (2 * ratio), stamp.height() / (2 * ratio));
    for (const QPointF &point : scatters)
        painter->drawPixmap(point - centre, stamp);
}

const QPixmap &RunRowGraph::stampFor(const QCPScatterStyle &style, qreal pixelRatio) const
{
    const QPen pen = style.isPenDefined() ? style.pen() : mPen;
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                            .arg(int(style.shape()))
                            .arg(style.size())
                            .arg(pen.color().rgba())
                            .arg(pen.widthF())
                            .arg(style.brush().color().rgba())
                            .arg(pixelRatio)
                            .arg(antialiasedScatters());
    if (key == m_stampKey)
        return m_stamp;
    // Room for the shape, its outline and the antialiased edge.
    const int side = int(std::ceil(style.size() + pen.widthF())) + 2;
    m_stamp = QPixmap(QSize(side, side) * pixelRatio);
    m_stamp.setDevicePixelRatio(pixelRatio);
    m_stamp.fill(Qt::transparent);
    QCPPainter painter(&m_stamp);
    painter.setRenderHint(QPainter::Antialiasing, antialiasedScatters());
    style.applyTo(&painter, mPen);
    style.drawShape(&painter, QPointF(side / 2.0, side / 2.0));
    painter.end();
    m_stampKey = key;
    return m_stamp;
}

QVector<double> runTickPositions(double lo, double hi, int tickCount)
{
    QVector<double> ticks;
    if (!(hi > lo) || tickCount <= 0)
        return ticks;
    const double exact = (hi - lo) / (tickCount + 1e-10);
    const double magnitude = std::pow(10.0, std::floor(std::log10(exact)));
    const double mantissa = exact / magnitude;
    const double step = mantissa < 5 ? magnitude * std::trunc(2 * mantissa) * 0.5
                                     : magnitude * std::trunc(mantissa / 2) * 2;
    if (!(step > 0))
        return ticks;
    const double first = std::floor(lo / step);
    const double last = std::ceil(hi / step);
    const qint64 count = static_cast<qint64>(last - first + 1);
    for (qint64 k = 0; k < count; ++k)
        ticks.append(std::round((first + k) * step));
    return ticks;
}

PlotGraph::PlotGraph(QWidget *parent, const QString &keyAxisText, const QString &valueAxisText)
    : QCustomPlot(parent)
{
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iMultiSelect | QCP::iSelectPlottables |
                    QCP::iSelectAxes | QCP::iSelectItems);
    xAxis->setLabelFont(axisLabelFont());
    yAxis->setLabelFont(axisLabelFont());
    xAxis->setLabel(keyAxisText);
    yAxis->setLabel(valueAxisText);
    plotLayout()->insertRow(0);
    m_title = new QCPTextElement(this, QString());
    plotLayout()->addElement(0, 0, m_title);
    // Reads the range as it is when called, not the one the signal carries:
    // a slot connected before this one may have moved it again already.
    connect(xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            [this] { keepKeyRangeInLimits(); });
}

QFont PlotGraph::axisLabelFont()
{
    return QFont(QStringLiteral("Helvetica"), 12, QFont::Bold);
}

QCPScatterStyle PlotGraph::commandStyle()
{
    return scatter(QCPScatterStyle::ssCircle, Qt::yellow);
}

QCPScatterStyle PlotGraph::eventStyle()
{
    return scatter(QCPScatterStyle::ssCross, Qt::yellow);
}

QCPScatterStyle PlotGraph::alarmStyle()
{
    return scatter(QCPScatterStyle::ssCircle, Qt::red);
}

void PlotGraph::setAxisLabels(const QString &keyText, const QString &valueText)
{
    xAxis->setLabelFont(axisLabelFont());
    yAxis->setLabelFont(axisLabelFont());
    xAxis->setLabel(keyText);
    yAxis->setLabel(valueText);
    replot();
}

void PlotGraph::setTitleText(const QString &text)
{
    m_title->setText(text);
}

QString PlotGraph::titleText() const
{
    return m_title->text();
}

void PlotGraph::resetSeries()
{
    m_graphCursor = 0;
    m_labelOffset = 0;
    m_valueLabels.clear();
}

void PlotGraph::plotSeries(const QStringList &labels, const QVector<double> &keys,
                           const QVector<double> &values, const QVector<double> &tickKeys,
                           const QStringList &tickLabels, int keyMax, const QCPScatterStyle &style)
{
    // Group the points by row in one pass; the per-row order stays the
    // order of the list.
    const int n = labels.size();
    QVector<QVector<double>> rowKeys(std::max(n, 1));
    const int points = std::min<int>(keys.size(), values.size());
    for (int j = 0; j < points; ++j) {
        const int row = int(values.at(j));
        if (row >= 1 && row < n)
            rowKeys[row].append(keys.at(j));
    }
    for (int i = 1; i < n; ++i) {
        // Registers itself with the plot as addGraph() would.
        QCPGraph *graph = new RunRowGraph(xAxis, yAxis);
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setScatterStyle(style);
        const QVector<double> rowValues(rowKeys.at(i).size(), double(m_labelOffset + i));
        graph->setData(rowKeys.at(i), rowValues);
        ++m_graphCursor;
    }
    setTopAxisTicks(tickKeys, tickLabels);
    finishSeries(labels, keyMax);
}

void PlotGraph::plotRows(const QStringList &labels, const QVector<RowData> &rows, int keyMax,
                         const QCPScatterStyle &style)
{
    for (int i = 1; i < labels.size(); ++i) {
        const double value = m_labelOffset + i;
        RowData data = rows.value(i);
        if (!data)
            data = RowData::create();
        else if (!data->isEmpty() && data->constBegin()->value != value) {
            // Another place on the axis (rows filtered out above it).
            QVector<QCPGraphData> moved(data->constBegin(), data->constEnd());
            for (QCPGraphData &point : moved)
                point.value = value;
            data = RowData::create();
            data->set(moved, true);
        }
        QCPGraph *graph = new RunRowGraph(xAxis, yAxis);
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setScatterStyle(style);
        graph->setData(data);
        ++m_graphCursor;
    }
    finishSeries(labels, keyMax);
}

void PlotGraph::finishSeries(const QStringList &labels, int keyMax)
{
    m_labelOffset += int(labels.size());
    m_valueLabels.append(labels);

    const double upper = keyMax <= kVisibleRuns ? keyMax : kVisibleRuns;
    setKeyLimits(QCPRange(0, std::max(keyMax, 1)));
    xAxis->setRange(0, upper);
    xAxis2->setRange(0, upper);
    yAxis->setRange(0, m_valueLabels.size());

    auto keyTicker = QSharedPointer<RunAxisTicker>::create();
    keyTicker->setTickCount(kAutoTickCount);
    xAxis->setTicker(keyTicker);
    yAxis->setTicker(QSharedPointer<RowAxisTicker>::create(yAxis, m_valueLabels));

    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    replot();
}

void PlotGraph::setTopAxisTicks(const QVector<double> &keys, const QStringList &labels)
{
    xAxis2->setTicker(textTicker(keys, labels));
}

void PlotGraph::setKeyLimits(const QCPRange &limits)
{
    m_keyLimits = limits;
    keepKeyRangeInLimits();
}

void PlotGraph::keepKeyRangeInLimits()
{
    if (!hasKeyLimits())
        return;
    const QCPRange current = xAxis->range();
    const double size = current.size();
    QCPRange wanted = current;
    // Built from the limit itself, so that the next check finds it inside
    // exactly and the range settles at once.
    if (size >= m_keyLimits.size())
        wanted = m_keyLimits;
    else if (current.lower < m_keyLimits.lower)
        wanted = QCPRange(m_keyLimits.lower, m_keyLimits.lower + size);
    else if (current.upper > m_keyLimits.upper)
        wanted = QCPRange(m_keyLimits.upper - size, m_keyLimits.upper);
    if (wanted != current)
        xAxis->setRange(wanted);
}

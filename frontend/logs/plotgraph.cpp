#include "frontend/logs/plotgraph.h"

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
} // namespace

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
        QCPGraph *graph = addGraph(xAxis, yAxis);
        if (!graph)
            continue;
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setScatterStyle(style);
        const QVector<double> rowValues(rowKeys.at(i).size(), double(m_labelOffset + i));
        graph->setData(rowKeys.at(i), rowValues);
        ++m_graphCursor;
    }
    m_labelOffset += n;
    m_valueLabels.append(labels);

    const double upper = keyMax <= kVisibleRuns ? keyMax : kVisibleRuns;
    xAxis->setRange(0, upper);
    xAxis2->setRange(0, upper);
    yAxis->setRange(0, m_valueLabels.size());

    auto keyTicker = QSharedPointer<QCPAxisTicker>::create();
    keyTicker->setTickCount(kAutoTickCount);
    xAxis->setTicker(keyTicker);
    setTopAxisTicks(tickKeys, tickLabels);
    QVector<double> rows(m_valueLabels.size());
    for (int i = 0; i < rows.size(); ++i)
        rows[i] = i;
    yAxis->setTicker(textTicker(rows, m_valueLabels));

    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    replot();
}

void PlotGraph::setTopAxisTicks(const QVector<double> &keys, const QStringList &labels)
{
    xAxis2->setTicker(textTicker(keys, labels));
}

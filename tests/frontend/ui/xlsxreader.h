#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

// Reads back one sheet of an .xlsx file (a zip of XML parts, taken apart
// with unzip): every cell's text or number and its bold/centred style, the
// rows frozen at its top and its filter. Strings may be shared or inline.
class XlsxSheet
{
public:
    struct Cell
    {
        QString text; // shared or inline string, or the number as written
        bool isNumber = false;
        bool inlineText = false; // written in the row, as row-by-row writing does
        bool bold = false;
        bool centred = false;
    };

    bool load(const QString &path, int sheetNumber = 1)
    {
        m_cells.clear();
        m_columnWidths.clear();
        m_frozenRows = 0;
        m_autoFilter.clear();
        const QByteArray sheet =
            part(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheetNumber));
        if (sheet.isEmpty())
            return false;
        readStrings(part(path, QStringLiteral("xl/sharedStrings.xml")));
        readStyles(part(path, QStringLiteral("xl/styles.xml")));
        readSheet(sheet);
        return true;
    }

    // Rows and columns from 1, as the spreadsheet shows them.
    Cell cell(int row, int column) const { return m_cells.value(key(row, column)); }
    QString text(int row, int column) const { return cell(row, column).text; }
    bool has(int row, int column) const { return m_cells.contains(key(row, column)); }
    int lastRow() const
    {
        int last = 0;
        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
            last = std::max(last, it.key().first);
        return last;
    }
    // Width set for a column (from 1); 0 when the sheet leaves it default.
    double columnWidth(int column) const { return m_columnWidths.value(column, 0); }
    // Rows that stay in view while the sheet scrolls.
    int frozenRows() const { return m_frozenRows; }
    // The filtered range, "A10:H99"; empty when there is no filter.
    QString autoFilter() const { return m_autoFilter; }

private:
    static QPair<int, int> key(int row, int column) { return {row, column}; }

    static QByteArray part(const QString &path, const QString &name)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, name});
        if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
            return QByteArray();
        return unzip.readAllStandardOutput();
    }

    void readStrings(const QByteArray &xml)
    {
        m_strings.clear();
        QXmlStreamReader reader(xml);
        QString current;
        bool inItem = false;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement() && reader.name() == QLatin1String("si")) {
                inItem = true;
                current.clear();
            } else if (inItem && reader.isStartElement() && reader.name() == QLatin1String("t")) {
                current += reader.readElementText();
            } else if (reader.isEndElement() && reader.name() == QLatin1String("si")) {
                m_strings.append(current);
                inItem = false;
            }
        }
    }

    void readStyles(const QByteArray &xml)
    {
        QVector<bool> boldFonts;
        m_styles.clear();
        QXmlStreamReader reader(xml);
        QString list;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                const auto name = reader.name();
                if (name == QLatin1String("fonts") || name == QLatin1String("cellXfs") ||
                    name == QLatin1String("cellStyleXfs")) {
                    list = name.toString();
                } else if (list == QLatin1String("fonts") && name == QLatin1String("font")) {
                    boldFonts.append(false);
                } else if (list == QLatin1String("fonts") && name == QLatin1String("b")) {
                    boldFonts.last() = true;
                } else if (list == QLatin1String("cellXfs") && name == QLatin1String("xf")) {
                    const int font = reader.attributes().value(QLatin1String("fontId")).toInt();
                    m_styles.append({boldFonts.value(font), false});
                } else if (list == QLatin1String("cellXfs") && name == QLatin1String("alignment")) {
                    m_styles.last().second =
                        reader.attributes().value(QLatin1String("horizontal")) ==
                        QLatin1String("center");
                }
            } else if (reader.isEndElement() && (reader.name() == QLatin1String("fonts") ||
                                                 reader.name() == QLatin1String("cellXfs") ||
                                                 reader.name() == QLatin1String("cellStyleXfs"))) {
                list.clear();
            }
        }
    }

    static int columnOf(const QString &ref, int *row)
    {
        int column = 0;
        int i = 0;
        for (; i < ref.size() && ref.at(i).isLetter(); ++i)
            column = column * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
        *row = ref.mid(i).toInt();
        return column;
    }

    void readSheet(const QByteArray &xml)
    {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            if (reader.name() == QLatin1String("pane")) {
                const auto attributes = reader.attributes();
                if (attributes.value(QLatin1String("state")) == QLatin1String("frozen"))
                    m_frozenRows = attributes.value(QLatin1String("ySplit")).toInt();
            } else if (reader.name() == QLatin1String("autoFilter")) {
                m_autoFilter = reader.attributes().value(QLatin1String("ref")).toString();
            } else if (reader.name() == QLatin1String("col")) {
                const auto attributes = reader.attributes();
                const int first = attributes.value(QLatin1String("min")).toInt();
                const int last = attributes.value(QLatin1String("max")).toInt();
                for (int c = first; c <= last; ++c)
                    m_columnWidths.insert(c, attributes.value(QLatin1String("width")).toDouble());
            } else if (reader.name() == QLatin1String("c")) {
                const auto attributes = reader.attributes();
                int row = 0;
                const int column = columnOf(attributes.value(QLatin1String("r")).toString(), &row);
                Cell cell;
                const auto style = m_styles.value(attributes.value(QLatin1String("s")).toInt());
                cell.bold = style.first;
                cell.centred = style.second;
                const bool shared = attributes.value(QLatin1String("t")) == QLatin1String("s");
                const bool inlined =
                    attributes.value(QLatin1String("t")) == QLatin1String("inlineStr");
                cell.inlineText = inlined;
                while (!(reader.isEndElement() && reader.name() == QLatin1String("c")) &&
                       !reader.atEnd()) {
                    reader.readNext();
                    if (reader.isStartElement() && reader.name() == QLatin1String("v")) {
                        const QString value = reader.readElementText();
                        cell.text = shared ? m_strings.value(value.toInt()) : value;
                        cell.isNumber = !shared;
                    } else if (inlined && reader.isStartElement() &&
                               reader.name() == QLatin1String("t")) {
                        cell.text += reader.readElementText();
                    }
                }
                m_cells.insert(key(row, column), cell);
            }
        }
    }

    QStringList m_strings;
    QVector<QPair<bool, bool>> m_styles; // bold, centred per cell style
    QMap<QPair<int, int>, Cell> m_cells;
    QHash<int, double> m_columnWidths;
    int m_frozenRows = 0;
    QString m_autoFilter;
};

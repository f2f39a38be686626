#ifndef FORMATSTEST_H
#define FORMATSTEST_H

#include "conversion.h"

#include <QByteArray>
#include <QList>
#include <QSizeF>

namespace formatstest {

// A PDF with one page per content stream, every page `points` large, Helvetica as /F1, and
// a cross-reference table with true offsets, so no reader has to repair it.
inline QByteArray pdfDocument(const QList<QByteArray>& pages, QSizeF points = QSizeF(595, 842))
{
    QList<QByteArray> objects;
    QByteArray kids;
    const int first = 4; // catalog, page tree, font come first
    for (int i = 0; i < pages.size(); ++i)
        kids += QByteArray::number(first + 2 * i) + " 0 R ";
    objects << "<< /Type /Catalog /Pages 2 0 R >>"
            << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>"
            << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    for (int i = 0; i < pages.size(); ++i) {
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(points.width()) + " "
                       + QByteArray::number(points.height()) + "] /Resources << /Font << /F1 3 0 R >> >> /Contents "
                       + QByteArray::number(first + 2 * i + 1) + " 0 R >>";
        objects << "<< /Length " + QByteArray::number(pages[i].size()) + " >>\nstream\n" + pages[i] + "\nendstream";
    }
    QByteArray pdf = "%PDF-1.4\n";
    QList<int> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const int xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (int offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
           + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// An ASCII DXF drawing from group codes and values written on one line, space-separated;
// units < 0 leaves $INSUNITS out.
inline QByteArray dxfDocument(int units, const QByteArray& entities, const QByteArray& blocks = QByteArray())
{
    QByteArray text = "0 SECTION 2 HEADER ";
    if (units >= 0)
        text += "9 $INSUNITS 70 " + QByteArray::number(units) + " ";
    text += "0 ENDSEC 0 SECTION 2 BLOCKS " + blocks + " 0 ENDSEC 0 SECTION 2 ENTITIES " + entities + " 0 ENDSEC 0 EOF";
    return text.simplified().replace(' ', '\n') + "\n";
}

} // namespace formatstest

#endif // FORMATSTEST_H

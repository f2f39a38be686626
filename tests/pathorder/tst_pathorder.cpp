#include "pathorder.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace ktconv;

Q_DECLARE_METATYPE(ktconv::CutPaths)

class tst_PathOrder : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void copies_data();
    void copies();
    void sameAsPlainSearch();
    void notFiniteLast();
};

namespace {

CutPath square(double x, double y, double side)
{
    return {{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}}, true};
}

CutPath line(QPointF from, QPointF to)
{
    return {{from, to}, false};
}

// The drawing's index of each cut path, told by its box.
QVector<int> drawingIndexes(const CutPaths& cut, const CutPaths& drawing)
{
    QVector<int> order;
    for (const CutPath& path : cut) {
        for (int i = 0; i < drawing.size(); ++i) {
            if (boundsOf(drawing[i]) == boundsOf(path))
                order << i;
        }
    }
    return order;
}

double distance2(QPointF a, QPointF b)
{
    return QPointF::dotProduct(a - b, a - b);
}

// Every pair compared and every ready path scanned: what the indexed search must give on a
// drawing without equal distances.
CutPaths plainOrder(const CutPaths& paths, QPointF at)
{
    const int n = paths.size();
    QVector<QVector<int>> containers(n);
    QVector<int> waiting(n, 0), ready;
    for (int in = 0; in < n; ++in) {
        const QRectF a = boundsOf(paths[in]);
        for (int out = 0; out < n; ++out) {
            const QRectF b = boundsOf(paths[out]);
            if (paths[out].closed && a.left() >= b.left() && a.right() <= b.right() && a.top() >= b.top()
                && a.bottom() <= b.bottom() && a.width() * a.height() < b.width() * b.height()
                && containsPoint(paths[out], paths[in].points.first())) {
                containers[in] << out;
                ++waiting[out];
            }
        }
    }
    for (int i = 0; i < n; ++i)
        if (waiting[i] == 0)
            ready << i;
    CutPaths cut;
    while (!ready.isEmpty()) {
        int pick = 0;
        for (int r = 1; r < ready.size(); ++r) {
            auto near = [&](const CutPath& p) {
                return std::min(distance2(at, p.points.first()), distance2(at, p.points.last()));
            };
            if (near(paths[ready[r]]) < near(paths[ready[pick]]))
                pick = r;
        }
        CutPath next = paths[ready[pick]];
        if (!next.closed && distance2(at, next.points.last()) < distance2(at, next.points.first()))
            std::reverse(next.points.begin(), next.points.end());
        int v = 0; // a square's corner nearest the knife, where its cut starts
        for (int c = 1; next.closed && c < 4; ++c)
            v = distance2(at, next.points[c]) < distance2(at, next.points[v]) ? c : v;
        const QVector<QPointF> p = next.points;
        if (v > 0)
            next.points = {p[v], p[(v + 1) % 4], p[(v + 2) % 4], p[(v + 3) % 4], p[v]};
        for (int out : containers[ready[pick]])
            if (--waiting[out] == 0)
                ready << out;
        ready.remove(pick);
        cut << next;
        at = next.points.last();
    }
    return cut;
}

} // namespace

// Knife at 0,0. Expected: the drawing's indexes in cut order and where each cut starts.
void tst_PathOrder::rules_data()
{
    QTest::addColumn<CutPaths>("drawing");
    QTest::addColumn<QVector<int>>("order");
    QTest::addColumn<QVector<QPointF>>("starts");

    // clang-format off
    QTest::newRow("counter drawn after its outline")
        << CutPaths{square(0, 0, 100), square(40, 40, 20)} << QVector<int>{1, 0}
        << QVector<QPointF>{{40, 40}, {0, 0}};
    QTest::newRow("three deep, drawn outside in")
        << CutPaths{square(0, 0, 300), square(50, 50, 200), square(100, 100, 100)} << QVector<int>{2, 1, 0}
        << QVector<QPointF>{{100, 100}, {50, 50}, {0, 0}};
    QTest::newRow("four deep, shuffled")
        << CutPaths{square(50, 50, 200), square(125, 125, 50), square(0, 0, 300), square(100, 100, 100)}
        << QVector<int>{1, 3, 0, 2} << QVector<QPointF>{{125, 125}, {100, 100}, {50, 50}, {0, 0}};
    QTest::newRow("two nests: the near one whole, then the far one")
        << CutPaths{square(1000, 0, 100), square(1040, 40, 20), square(0, 0, 100), square(40, 40, 20)}
        << QVector<int>{3, 2, 1, 0} << QVector<QPointF>{{40, 40}, {0, 0}, {1040, 40}, {1000, 0}};
    QTest::newRow("inside, touching its outline along two sides")
        << CutPaths{square(0, 0, 100), square(0, 0, 50)} << QVector<int>{1, 0}
        << QVector<QPointF>{{0, 0}, {0, 0}};
    QTest::newRow("side by side along one edge: neither waits")
        << CutPaths{square(100, 0, 50), square(0, 0, 100)} << QVector<int>{1, 0}
        << QVector<QPointF>{{0, 0}, {100, 0}};
    QTest::newRow("an open path inside a shape goes first")
        << CutPaths{square(0, 0, 100), line({90, 50}, {20, 50})} << QVector<int>{1, 0}
        << QVector<QPointF>{{20, 50}, {100, 0}};
    QTest::newRow("a closed path is reached by its first point")
        << CutPaths{CutPath{{{100, 100}, {0, 100}, {0, 0}, {100, 0}, {100, 100}}, true}, square(120, 0, 10)}
        << QVector<int>{1, 0} << QVector<QPointF>{{120, 0}, {100, 0}};
    QTest::newRow("an open path from its nearer end")
        << CutPaths{line({500, 0}, {10, 0}), square(600, 0, 10)} << QVector<int>{0, 1}
        << QVector<QPointF>{{10, 0}, {600, 0}};
    QTest::newRow("equal distances: first drawn first")
        << CutPaths{square(0, 100, 10), square(100, 0, 10)} << QVector<int>{0, 1}
        << QVector<QPointF>{{0, 100}, {100, 10}};
    QTest::newRow("equal distances, drawn the other way")
        << CutPaths{square(100, 0, 10), square(0, 100, 10)} << QVector<int>{0, 1}
        << QVector<QPointF>{{100, 0}, {10, 100}};
    QTest::newRow("equal distances to both ends: not reversed")
        << CutPaths{line({100, 0}, {0, 100})} << QVector<int>{0} << QVector<QPointF>{{100, 0}};
    QTest::newRow("five at one distance: the first drawn of them")
        << CutPaths{square(1000, 1000, 5), square(80, 60, 5), square(60, 80, 5), square(0, 100, 5),
                    square(100, 0, 5), square(-60, 80, 5)}
        << QVector<int>{1, 2, 3, 5, 4, 0}
        << QVector<QPointF>{{80, 60}, {65, 80}, {5, 100}, {-55, 85}, {100, 5}, {1000, 1000}};
    QTest::newRow("an open path ending where it starts, inside two crossing outlines")
        << CutPaths{square(0, 0, 100), CutPath{{{95, 50}, {97, 52}, {95, 50}}, false}, square(90, 40, 30)}
        << QVector<int>{1, 2, 0} << QVector<QPointF>{{95, 50}, {90, 40}, {100, 0}};
    QTest::newRow("a path without points is left out")
        << CutPaths{CutPath{}, square(0, 0, 10)} << QVector<int>{1} << QVector<QPointF>{{0, 0}};
    // clang-format on
}

void tst_PathOrder::rules()
{
    QFETCH(CutPaths, drawing);
    QFETCH(QVector<int>, order);
    QFETCH(QVector<QPointF>, starts);
    const CutPaths cut = orderPaths(drawing, QPointF(0, 0));
    QCOMPARE(drawingIndexes(cut, drawing), order);
    QVector<QPointF> firsts;
    for (const CutPath& path : cut)
        firsts << path.points.first();
    QCOMPARE(firsts, starts);
}

// Exact copies, told apart by a stroke colour that stands for their place in the drawing.
void tst_PathOrder::copies_data()
{
    QTest::addColumn<CutPaths>("drawing");
    QTest::addColumn<QVector<int>>("order");

    auto copies = [](std::initializer_list<CutPath> shapes) {
        CutPaths drawing(shapes);
        for (int i = 0; i < drawing.size(); ++i)
            drawing[i].stroke = QRgb(i);
        return drawing;
    };
    const CutPath redrawn{{{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}}, true};
    // clang-format off
    QTest::newRow("a copy: first drawn first, the copy straight after")
        << copies({square(0, 0, 10), square(50, 50, 10), square(0, 0, 10)}) << QVector<int>{0, 2, 1};
    QTest::newRow("copies of an outline around copies of its counter")
        << copies({square(0, 0, 100), square(40, 40, 20), square(0, 0, 100), square(40, 40, 20)})
        << QVector<int>{1, 3, 0, 2};
    QTest::newRow("copies three deep, drawn outside in")
        << copies({square(0, 0, 300), square(0, 0, 300), square(50, 50, 200), square(100, 100, 100),
                   square(50, 50, 200), square(100, 100, 100)})
        << QVector<int>{3, 5, 2, 4, 0, 1};
    QTest::newRow("the same square from another corner: neither waits")
        << copies({redrawn, square(0, 0, 10)}) << QVector<int>{1, 0};
    QTest::newRow("open copies inside closed copies")
        << copies({square(0, 0, 100), line({90, 50}, {20, 50}), square(0, 0, 100), line({90, 50}, {20, 50})})
        << QVector<int>{1, 3, 0, 2};
    // clang-format on
}

void tst_PathOrder::copies()
{
    QFETCH(CutPaths, drawing);
    QFETCH(QVector<int>, order);
    QVector<int> cut;
    for (const CutPath& path : orderPaths(drawing, QPointF(0, 0)))
        cut << int(path.stroke);
    QCOMPARE(cut, order);
}

// Overlapping, nested and crossing squares and open strokes at random places and sizes:
// the same cut order as the plain search, each path started and run the same way.
void tst_PathOrder::sameAsPlainSearch()
{
    QRandomGenerator random(7);
    CutPaths drawing;
    for (int i = 0; i < 1500; ++i) {
        const QPointF at(random.bounded(2000.0), random.bounded(2000.0));
        if (i % 5 == 0)
            drawing << line(at, at + QPointF(random.bounded(100.0), random.bounded(100.0)));
        else
            drawing << square(at.x(), at.y(), 1 + random.bounded(300.0));
    }
    const CutPaths cut = orderPaths(drawing, QPointF(0, 0));
    const CutPaths expected = plainOrder(drawing, QPointF(0, 0));
    QCOMPARE(cut.size(), expected.size());
    QCOMPARE(drawingIndexes(cut, drawing), drawingIndexes(expected, drawing));
    for (int i = 0; i < cut.size(); ++i)
        QCOMPARE(cut[i].points, expected[i].points);
}

// Not a number and infinity (a degenerate transform): no crash, no endless search for an
// end that compares equal to nothing; such paths come last, in the drawing's order.
void tst_PathOrder::notFiniteLast()
{
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const CutPaths drawing{CutPath{{{nan, 0}, {1, 1}, {2, 0}, {nan, 0}}, true}, square(0, 0, 10),
                           line({-inf, 3}, {3, 3}), square(20, 0, 10)};
    const CutPaths cut = orderPaths(drawing, QPointF(0, 0));
    QCOMPARE(cut.size(), 4);
    QCOMPARE(cut[0].points.first(), QPointF(0, 0));
    QCOMPARE(cut[1].points.first(), QPointF(20, 0));
    QVERIFY(std::isnan(cut[2].points.first().x()));
    QVERIFY(std::isinf(cut[3].points.first().x()));
}

QTEST_APPLESS_MAIN(tst_PathOrder)
#include "tst_pathorder.moc"

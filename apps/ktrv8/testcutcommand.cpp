// ktrv8 test-cut: the usual check of pressure and blade offset before a job.
#include "drawingcommands.h"
#include "invocation.h"

#include <QTemporaryDir>

namespace {

// A 10 mm square with a triangle inside it: the square shows the pressure where it is
// weeded, the triangle's sharp corners the blade offset.
const QByteArray TestShape = "<?xml version=\"1.0\"?>\n"
                             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10mm\" height=\"10mm\" "
                             "viewBox=\"0 0 10 10\"><path fill=\"none\" stroke=\"black\" "
                             "d=\"M0,0 H10 V10 H0 Z M2,8 H8 L5,2 Z\"/></svg>\n";

} // namespace

int checkTestCut(Invocation& call)
{
    if (!call.args.isEmpty()) {
        call.out.error(QStringLiteral("test-cut cuts its own shape and takes no file"));
        return ExitUsage;
    }
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("test-cut.svg"));
    QString error;
    if (!folder.isValid() || !writeFile(file, TestShape, &error)) {
        call.out.error(folder.isValid() ? error : QStringLiteral("cannot make a temporary folder"));
        return ExitFailed;
    }
    return prepareCutJob(call.parser, {file}, call.out, &call.job);
}

#ifndef GZIPDATA_H
#define GZIPDATA_H

#include <QByteArray>

namespace ktconv {

// True when the bytes start with the gzip signature (an .svgz drawing, for one).
bool looksGzipped(const QByteArray& content);

// The gzip stream inflated; empty when it is damaged, cut short or would inflate past
// `limit` bytes (a small file can claim gigabytes).
QByteArray gunzip(const QByteArray& content, qint64 limit = 256 * 1024 * 1024);

} // namespace ktconv

#endif // GZIPDATA_H

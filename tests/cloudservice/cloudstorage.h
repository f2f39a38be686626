#ifndef CLOUDSTORAGE_H
#define CLOUDSTORAGE_H

#include "postgresserver.h"

#include <QObject>
#include <QTemporaryDir>

// The program and its records: SQLite and PostgreSQL through restarts, kills and database
// trouble.
class tst_CloudStorage : public QObject
{
    Q_OBJECT
private slots:
    void storageKeepsRecords_data();
    void storageKeepsRecords();
    void olderSchemaIsMigrated();
    void executableKeepsRecordsAfterKill();
    void databaseTroubleIsAnsweredAs503_data();
    void databaseTroubleIsAnsweredAs503();
    void executableWantsInitForANewFolder();
    void pageAnswersWhileAWriteWaits();
    void killedMidLoadKeepsEachAcknowledgedRecordOnce_data();
    void killedMidLoadKeepsEachAcknowledgedRecordOnce();
    void repeatedRecordIsStoredOnce_data();
    void repeatedRecordIsStoredOnce();
    void batchWritesItsRecordsTogether_data();
    void batchWritesItsRecordsTogether();
    void executableWantsInitForANewDatabase_data();
    void executableWantsInitForANewDatabase();
    void csvCellsStayText_data();
    void csvCellsStayText();
    void packageBringsTheDefaultDriver();
    void cleanupTestCase();

private:
    QString databaseFor(const QString& engine, const QString& name);

    QTemporaryDir files;
    PostgresServer postgres;
    bool postgresTried = false;
};

#endif // CLOUDSTORAGE_H

#pragma once
// The PostgreSQL client library (libpq), loaded only when a store on a PostgreSQL server is
// asked for. Linking it would make every batch run load some twenty more libraries (TLS,
// Kerberos, LDAP) that a run without such a store never uses.

#include <libpq-fe.h>

namespace k32 {

// The few client functions the store uses, with libpq's own signatures.
struct PgClient {
    decltype(&::PQconnectdb) connectdb;
    decltype(&::PQstatus) status;
    decltype(&::PQerrorMessage) errorMessage;
    decltype(&::PQfinish) finish;
    decltype(&::PQsetNoticeProcessor) setNoticeProcessor;
    decltype(&::PQexec) exec;
    decltype(&::PQexecParams) execParams;
    decltype(&::PQresultStatus) resultStatus;
    decltype(&::PQresultErrorMessage) resultErrorMessage;
    decltype(&::PQresultErrorField) resultErrorField;
    decltype(&::PQclear) clear;
    decltype(&::PQntuples) ntuples;
    decltype(&::PQgetvalue) getvalue;
    decltype(&::PQgetisnull) getisnull;
    decltype(&::PQputCopyData) putCopyData;
    decltype(&::PQputCopyEnd) putCopyEnd;
    decltype(&::PQgetResult) getResult;
    decltype(&::PQsendQueryParams) sendQueryParams;
    decltype(&::PQsetSingleRowMode) setSingleRowMode;
    decltype(&::PQconninfoParse) conninfoParse;
    decltype(&::PQconninfoFree) conninfoFree;
};

// The client library, loaded on first use and kept for the program's life. Raises
// std::runtime_error naming the library and the loader's reason when it is not installed or
// lacks a function.
const PgClient& LoadPgClient();

}  // namespace k32

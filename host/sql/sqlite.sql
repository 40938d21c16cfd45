-- The host system's tables as the logger sees them, for SQLite (tests and the demo).
-- Dates are stored as text 'YYYY-MM-DD HH:MM:SS.fff' by the ODBC driver: write them only through it.
CREATE TABLE TBCALL (
  RAMA CHAR(4),
  TRON CHAR(11),
  DURA CHAR(15),
  SENH CHAR(10),
  TIPO CHAR(1),
  DATA TIMESTAMP,
  NUME_DISC CHAR(20)
);
CREATE INDEX TBCALL_DATA ON TBCALL (DATA);

CREATE TABLE TBPARA (
  HORA_ULTI_TRAN_FONE TIMESTAMP
);
INSERT INTO TBPARA (HORA_ULTI_TRAN_FONE) VALUES (NULL);

-- System schema MVSYSTEM of the test database.
--
-- Loaded by tests/db/testdb.sh with the mariadb command-line client (hence the
-- DELIMITER blocks below). It holds every system table the exporter reads, with
-- every column its statements name, and nothing else.
--
-- Conventions for tests that fill these tables:
--   * No table has a primary or unique key: rows that agree in every column can
--     be stored, so the DISTINCT of the statements can be exercised.
--   * Key and text columns are VARCHAR and wider than the fields of the
--     interface files, so over-long values can be stored. VARCHAR keeps
--     trailing blanks, which the trimming rules of some files need.
--   * MVS133BAK carries two generated columns (BvkVon, curdate). Always insert
--     into it with a column list: INSERT INTO MVS133BAK (BAKDTM, BAKWTG) ...
--   * The server compares schema and table names without regard to case
--     (lower_case_table_names=1), and runs with PIPES_AS_CONCAT.

DROP DATABASE IF EXISTS MVSYSTEM;
CREATE DATABASE MVSYSTEM DEFAULT CHARACTER SET latin1 DEFAULT COLLATE latin1_swedish_ci;
USE MVSYSTEM;

-- Product releases; LIZVER is stored as text "NN.NN" (e.g. 05.40).
CREATE TABLE MVS110LIZ (
    LIZPRD   VARCHAR(40)   NULL,
    LIZVER   VARCHAR(20)   NULL
);

-- Tenants. MNDSCH names the tenant schema; it is deliberately very wide so a
-- test can store a name that overflows the statement buffer of the exporter.
CREATE TABLE MVS112MND (
    MNDLIZ   VARCHAR(100)  NULL,
    MNDNUM   VARCHAR(100)  NULL,
    MNDNA1   VARCHAR(300)  NULL,
    MNDSCH   VARCHAR(2100) NULL,
    MNDSTO   VARCHAR(100)  NULL,
    MNDSTA   VARCHAR(100)  NULL,
    MNDKON   INT           NULL,
    MNDDAT   DATETIME      NULL,
    MNDERF   VARCHAR(300)  NULL
);

-- Badges. Validity bounds are compared with sysdate(), so they carry a time.
CREATE TABLE MVS301ASW (
    ASWNUM   VARCHAR(300)  NULL,
    ASWGVO   DATETIME      NULL,
    ASWGBI   DATETIME      NULL,
    ASWPNR   VARCHAR(100)  NULL,
    ASWBKL   VARCHAR(100)  NULL,
    ASWPIN   VARCHAR(100)  NULL,
    ASWGRP   VARCHAR(100)  NULL,
    ASWLIZ   VARCHAR(100)  NULL,
    ASWMND   VARCHAR(100)  NULL,
    ASWATP   VARCHAR(100)  NULL,
    ASWAAN   VARCHAR(300)  NULL,
    ASWSTA   VARCHAR(100)  NULL,
    ASWDAT   DATETIME      NULL,
    ASWERF   VARCHAR(300)  NULL
);

-- Badge locations and codes, joined to MVS301ASW by badge number.
CREATE TABLE MVS113AWV (
    AWVNUM   VARCHAR(300)  NULL,
    AWVSTO   VARCHAR(100)  NULL,
    AWVCOD   VARCHAR(100)  NULL
);

-- Authorization classes held by badges.
CREATE TABLE MVS301BKL (
    BKLASW   VARCHAR(300)  NULL,
    BKLBKL   VARCHAR(100)  NULL,
    BKLLIZ   VARCHAR(100)  NULL,
    BKLMND   VARCHAR(100)  NULL,
    BKLSTM   VARCHAR(100)  NULL,
    BKLGVO   DATETIME      NULL,
    BKLGBI   DATETIME      NULL
);

-- Readers. ZLSLES is numeric: the time-plan statements send it back as
-- lpad(cast(ZLSLES as char),2,'0') and compare ZLSLES = '07', which only
-- matches the stored 7 when the column is a number.
CREATE TABLE MVS401ZLS (
    ZLSTRM   VARCHAR(300)  NULL,
    ZLSLES   INT           NULL,
    ZLSZKO   VARCHAR(100)  NULL,
    ZLSTFR   VARCHAR(100)  NULL,
    ZLSSTA   INT           NULL
);

-- Control areas: default time plan ZKOTFS and calendar ZKOKAL.
CREATE TABLE MVS402ZKO (
    ZKONUM   VARCHAR(100)  NULL,
    ZKOTFS   VARCHAR(100)  NULL,
    ZKOKAL   INT           NULL,
    ZKOSTA   INT           NULL
);

-- Time-plan entries: plan ZBRZBK of control area ZBRZKO, day type ZBRTTP,
-- time zone ZBRZZZ, time bookings allowed ZBRZTB.
CREATE TABLE MVS404ZBR (
    ZBRZKO   VARCHAR(100)  NULL,
    ZBRZBK   VARCHAR(100)  NULL,
    ZBRTTP   INT           NULL,
    ZBRZZZ   VARCHAR(100)  NULL,
    ZBRZTB   INT           NULL,
    ZBRSTA   INT           NULL
);

-- Time zones; ZUZVON/ZUZBIS are minutes after midnight (DIV and MOD on them).
CREATE TABLE MVS402ZUZ (
    ZUZNUM   VARCHAR(100)  NULL,
    ZUZVON   INT           NULL,
    ZUZBIS   INT           NULL,
    ZUZSTA   INT           NULL
);

-- Calendar days of the access calendars.
CREATE TABLE MVS133KAL (
    KALNUM   INT           NULL,
    KALDTM   DATE          NULL,
    KALTTP   INT           NULL
);

-- Weekday number of every date.
-- The employee detail statement reads the calendar date as BvkVon and compares
-- the badge end date with a bare name curdate; both are provided here as
-- generated columns: BvkVon is the row's own date, curdate is today.
CREATE TABLE MVS133BAK (
    BAKDTM   DATE          NULL,
    BAKWTG   INT           NULL,
    BvkVon   DATE          AS (BAKDTM) VIRTUAL,
    curdate  DATE          AS (CURDATE()) VIRTUAL
);

-- Terminals and their language number.
CREATE TABLE MVS1140TRM (
    TRMNAM   VARCHAR(300)  NULL,
    TRMSPR   INT           NULL
);

-- getdate(): the current date and time, as the status statements expect it.
-- DAS(d): the day of the month of d.
DELIMITER //
CREATE FUNCTION getdate() RETURNS DATETIME
    NOT DETERMINISTIC NO SQL
    RETURN NOW()
//
CREATE FUNCTION DAS(d DATETIME) RETURNS INT
    DETERMINISTIC NO SQL
    RETURN DAYOFMONTH(d)
//
DELIMITER ;

-- Tables of one tenant schema of the test database.
--
-- The test fixture runs this file after CREATE DATABASE x; USE x; through the
-- C API with multi-statements, so it names no schema and uses no DELIMITER.
-- It holds every tenant table the exporter reads, with every column its
-- statements name.
--
-- As in the system schema: no primary or unique keys (duplicate rows can be
-- stored), key and text columns are VARCHAR and wider than the fields of the
-- interface files, and VARCHAR keeps trailing blanks. Personnel numbers are
-- VARCHAR everywhere, matching MVSYSTEM.MVS301ASW.ASWPNR.

-- Persons.
CREATE TABLE MVS300PNR (
    PNRNUM     VARCHAR(100)  NULL,
    PNRNAM     VARCHAR(300)  NULL,
    PNRSPR     VARCHAR(100)  NULL,
    PNRMTA     VARCHAR(100)  NULL,
    PNRSAL     VARCHAR(100)  NULL
);

-- Badge map value per person (delivered as a whole number).
CREATE TABLE Mvs310Bsv (
    BSVPNR     VARCHAR(100)  NULL,
    BSVMAP     INT           NULL
);

-- Personnel master: assigned cost centre and PstBsvKal value.
CREATE TABLE PERSONALSTAMM (
    PSTPNRNUM  VARCHAR(100)  NULL,
    PSTZUOKST  VARCHAR(100)  NULL,
    PSTBSVKAL  VARCHAR(100)  NULL
);

-- Cost centres; KstSta 4 and 8 mark inactive ones.
CREATE TABLE O1003KstStelle (
    KSTNUM     VARCHAR(100)  NULL,
    KSTTXT     VARCHAR(300)  NULL,
    KSTERF     VARCHAR(300)  NULL,
    KSTAPZ     VARCHAR(100)  NULL,
    KSTSTA     INT           NULL
);

-- Calendar days of the tenant's calendars, with their day type.
CREATE TABLE MVS133KA2 (
    KA2NUM     INT           NULL,
    KA2DTM     DATE          NULL,
    KA2TTP     INT           NULL
);

-- Day types; TT2FTG = 1 marks a holiday.
CREATE TABLE MVS132TT2 (
    TT2NUM     INT           NULL,
    TT2TXT     VARCHAR(300)  NULL,
    TT2KRT     VARCHAR(100)  NULL,
    TT2FTG     INT           NULL
);

-- Dictionary: text per key, field name and language number.
CREATE TABLE MVS122DI2 (
    DI2KEY     VARCHAR(100)  NULL,
    DI2FNA     VARCHAR(100)  NULL,
    DI2SPR     INT           NULL,
    DI2TXT     VARCHAR(1000) NULL
);

-- Status periods of persons; BvfGen is the status number, BvfFc1 the
-- function code, BvfUh1 a time of day.
CREATE TABLE Mvs382Bvf (
    BVFPNR     VARCHAR(100)  NULL,
    BVFGEN     INT           NULL,
    BVFVON     DATETIME      NULL,
    BVFBIS     DATETIME      NULL,
    BVFFC1     INT           NULL,
    BVFKST     VARCHAR(300)  NULL,
    BVFUH1     DATETIME      NULL
);

-- Function codes; FcdKrt is the short text.
CREATE TABLE MVs131Fcd (
    FCDNUM     INT           NULL,
    FCDKRT     VARCHAR(100)  NULL,
    FCDTXT     VARCHAR(300)  NULL,
    FCDTYP     VARCHAR(100)  NULL,
    FCDFCD     VARCHAR(100)  NULL
);

-- Department assignments of persons, with validity.
CREATE TABLE Mvs311Zuo (
    ZUOPNR     VARCHAR(100)  NULL,
    ZUOGVO     DATETIME      NULL,
    ZUOGBI     DATETIME      NULL,
    ZUOABT     VARCHAR(300)  NULL
);

-- Day records of persons: date and working-time model.
CREATE TABLE Mvs329Ztg (
    ZTGPNR     VARCHAR(100)  NULL,
    ZTGVON     DATE          NULL,
    ZTGAZT     INT           NULL
);

-- Working-time models with validity and target time (minutes).
CREATE TABLE Mvs140Azv (
    AZVNUM     INT           NULL,
    AZVGVO     DATE          NULL,
    AZVGBI     DATE          NULL,
    AZVSOL     INT           NULL
);

-- Vacation carry-over per person and year.
CREATE TABLE mvs332urv (
    URVPNR     VARCHAR(100)  NULL,
    URVJHR     INT           NULL,
    URVVJR     DECIMAL(14,2) NULL,
    URVGUR     DECIMAL(14,2) NULL,
    URVVTG     DECIMAL(14,2) NULL
);

-- Vacation days per person and date.
CREATE TABLE mvs332utg (
    UTGPNR     VARCHAR(100)  NULL,
    UTGDTM     DATE          NULL,
    UTGGUT     DECIMAL(14,2) NULL,
    UTGVTG     DECIMAL(14,2) NULL,
    UTGRTG     DECIMAL(14,2) NULL
);

-- Shift leave per person and date.
CREATE TABLE mvs332sfz (
    SFZPNR     VARCHAR(100)  NULL,
    SFZDTM     DATE          NULL,
    SFZANS     DECIMAL(14,2) NULL,
    SFZGEN     DECIMAL(14,2) NULL,
    SFZRST     DECIMAL(14,2) NULL,
    SFZVPL     DECIMAL(14,2) NULL,
    SFZANT     DECIMAL(14,2) NULL
);

-- Shift-leave carry-over per person and year.
CREATE TABLE mvs332sfv (
    SFVPNR     VARCHAR(100)  NULL,
    SFVJHR     INT           NULL,
    SFVVTG     DECIMAL(14,2) NULL
);

-- Day balances in minutes (balance tgbsaN plus correction tgbvtN); the
-- statements read the rows with TgbZtr = 1.
CREATE TABLE mvs320tgb (
    TGBPNR     VARCHAR(100)  NULL,
    TGBDTM     DATE          NULL,
    TGBZTR     INT           NULL,
    TGBSA1     INT           NULL,
    TGBSA2     INT           NULL,
    TGBSA3     INT           NULL,
    TGBSA4     INT           NULL,
    TGBSA5     INT           NULL,
    TGBSA6     INT           NULL,
    TGBSA7     INT           NULL,
    TGBVT1     INT           NULL,
    TGBVT2     INT           NULL,
    TGBVT3     INT           NULL,
    TGBVT4     INT           NULL,
    TGBVT5     INT           NULL,
    TGBVT6     INT           NULL,
    TGBVT7     INT           NULL
);

-- Traffic-light account value per person and day.
CREATE TABLE mvs327tag (
    TAGPNR     VARCHAR(100)  NULL,
    TAGTAG     DATE          NULL,
    TAGAKP     INT           NULL
);

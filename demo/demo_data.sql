-- Demo database: two tenants in the system schema. The tenant schemas
-- MAND1 and MAND2 are created by scripts/demo before this file is loaded.
-- Each file type adds its rows below its own heading.
USE MVSYSTEM;

-- Product release: 5.9, so the badge file reads cost centre and calendar.
INSERT INTO MVS110LIZ (LIZPRD, LIZVER) VALUES ('5817-002-01', '05.90');

-- Tenants (MND).
INSERT INTO MVS112MND (MNDLIZ, MNDNUM, MNDNA1, MNDSCH, MNDSTO, MNDSTA, MNDKON, MNDDAT, MNDERF) VALUES
  ('00100', '00001', _latin1 0x4D75737465726669726D61204BF66C6E, 'MAND1', '001', '1', 0, '2026-11-02 08:30:00', 'Verwaltung'),
  ('00100', '00002', 'Beispiel Logistik GmbH', 'MAND2', '002', '1', 0, '2026-11-15 14:05:12', 'Verwaltung'),
  ('00100', '00099', 'Stillgelegter Mandant', NULL, '099', '8', 1, NULL, NULL);

-- Badges (IDN), cost centres (KST), authorization classes (BKL), holidays (FTG).
-- Badges: four valid, one expired (not listed). The holders live in the
-- tenant schemas; Huber has no BsvMap entry, Berger no personnel master row.
INSERT INTO MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR, ASWBKL, ASWPIN, ASWGRP, ASWLIZ, ASWMND, ASWATP, ASWAAN, ASWSTA, ASWDAT, ASWERF) VALUES
  ('0000001001', '2025-01-01 00:00:00', NULL, '1001', '10', '1234', '1', '00100', '00001', '1', 'Mitarbeiter', '1', '2026-10-01 09:00:00', 'Verwaltung'),
  ('0000001002', '2025-06-01 00:00:00', '2099-12-31 23:59:59', '1002', '20', '5678', '1', '00100', '00001', '1', 'Mitarbeiter', '1', '2026-10-02 10:30:00', 'Verwaltung'),
  ('0000001099', '2024-01-01 00:00:00', '2024-12-31 23:59:59', '1001', '10', '1234', '1', '00100', '00001', '1', 'Mitarbeiter', '9', '2024-12-31 18:00:00', 'Verwaltung'),
  ('0000002001', '2025-03-01 00:00:00', NULL, '2001', '10', '', '2', '00100', '00002', '2', 'Fahrer', '1', '2026-11-20 07:45:00', 'Disposition'),
  ('0000002002', '2026-01-01 00:00:00', NULL, '2002', '30', '9999', '2', '00100', '00002', '1', 'Lager', '1', '2026-11-21 08:00:00', 'Disposition');
INSERT INTO MVS113AWV (AWVNUM, AWVSTO, AWVCOD) VALUES
  ('0000001001', '001', '1'), ('0000001002', '001', '1'), ('0000001099', '001', '1'),
  ('0000002001', '002', '2'), ('0000002002', '002', '1');
INSERT INTO MAND1.MVS300PNR (PNRNUM, PNRNAM, PNRSPR, PNRMTA, PNRSAL) VALUES
  ('1001', _latin1 0x4DFC6C6C65722C20416E6E61, '1', '01', 'Frau'),
  ('1002', 'Huber, Thomas', '1', '01', 'Herr');
INSERT INTO MAND2.MVS300PNR (PNRNUM, PNRNAM, PNRSPR, PNRMTA, PNRSAL) VALUES
  ('2001', 'Schmidt, Petra', '2', '02', 'Frau'),
  ('2002', 'Berger, Jan', '1', '01', 'Herr');
INSERT INTO MAND1.Mvs310Bsv (BSVPNR, BSVMAP) VALUES ('1001', 1);
INSERT INTO MAND2.Mvs310Bsv (BSVPNR, BSVMAP) VALUES ('2001', 2), ('2002', 0);
INSERT INTO MAND1.PERSONALSTAMM (PSTPNRNUM, PSTZUOKST, PSTBSVKAL) VALUES
  ('1001', '4100      ', '1'), ('1002', '4200', '2');
INSERT INTO MAND2.PERSONALSTAMM (PSTPNRNUM, PSTZUOKST, PSTBSVKAL) VALUES ('2001', '7000', NULL);

-- Cost centres: status 4 and 8 are inactive and not listed.
INSERT INTO MAND1.O1003KstStelle (KSTNUM, KSTTXT, KSTERF, KSTAPZ, KSTSTA) VALUES
  ('4200', 'Montage', 'Verwaltung', '12', 0),
  ('4100', 'Fertigung  ', 'Verwaltung', '25', NULL),
  ('4300', 'Altbereich', 'Verwaltung', '0', 8);
INSERT INTO MAND2.O1003KstStelle (KSTNUM, KSTTXT, KSTERF, KSTAPZ, KSTSTA) VALUES
  ('7000', 'Fuhrpark', 'Disposition', '8', 1),
  ('7100', 'Lager', 'Disposition', '4', 4);

-- Authorization classes: the last one has ended and is not listed.
INSERT INTO MVS301BKL (BKLASW, BKLBKL, BKLLIZ, BKLMND, BKLSTM, BKLGVO, BKLGBI) VALUES
  ('0000001001', '10', '00100', '00001', '1', '2025-01-01 00:00:00', NULL),
  ('0000001001', '12', '00100', '00001', '0', '2025-01-01 00:00:00', '2099-12-31 23:59:59'),
  ('0000002001', '10', '00100', '00002', '1', '2025-03-01 00:00:00', NULL),
  ('0000001002', '20', '00100', '00001', '1', '2025-06-01 00:00:00', NULL),
  ('0000001002', '21', '00100', '00001', '1', '2025-06-01 00:00:00', '2025-12-31 23:59:59');

-- Holidays: two terminals with a control area; TERM-02 has no language.
-- Dates are relative to the day the demo runs, so that they lie in the
-- exported window; the first one is too old.
INSERT INTO MVS401ZLS (ZLSTRM, ZLSLES, ZLSZKO, ZLSTFR, ZLSSTA) VALUES
  ('TERM-01', 1, 'ZK1', '1', 0), ('TERM-02', 1, 'ZK1', '1', 0);
INSERT INTO MVS402ZKO (ZKONUM, ZKOTFS, ZKOKAL, ZKOSTA) VALUES ('ZK1', '1', 1, 0);
INSERT INTO MVS1140TRM (TRMNAM, TRMSPR) VALUES ('TERM-01', 2), ('TERM-02', NULL);
INSERT INTO MAND1.MVS132TT2 (TT2NUM, TT2TXT, TT2KRT, TT2FTG) VALUES
  (1, 'Arbeitstag', 'A', 0), (5, 'Feiertag', 'F', 1), (105, 'Betriebsruhe', 'B', 1);
INSERT INTO MAND1.MVS133KA2 (KA2NUM, KA2DTM, KA2TTP) VALUES
  (1, CURDATE() - INTERVAL 400 DAY, 5),
  (1, CURDATE() + INTERVAL 20 DAY, 5), (2, CURDATE() + INTERVAL 20 DAY, 5),
  (1, CURDATE() + INTERVAL 30 DAY, 105),
  (1, CURDATE() + INTERVAL 31 DAY, 1);
INSERT INTO MAND1.MVS122DI2 (DI2KEY, DI2FNA, DI2SPR, DI2TXT) VALUES
  ('5#', 'TT2TXT', 2, 'Public holiday'),
  ('105#', 'TT2TXT', 0, 'Werksferien');

-- Terminal schedule files (20P, 35P, 41P).
-- Calendar days and weekday numbers (Monday 1 .. Sunday 7) from yesterday
-- to two weeks ahead, relative to the day the demo runs. Day types:
-- 1 working day, 2 Saturday, 3 Sunday.
INSERT INTO MVS133BAK (BAKDTM, BAKWTG)
  WITH RECURSIVE days(n) AS (SELECT -1 UNION ALL SELECT n + 1 FROM days WHERE n < 14)
  SELECT CURDATE() + INTERVAL n DAY, WEEKDAY(CURDATE() + INTERVAL n DAY) + 1 FROM days;
INSERT INTO MVS133KAL (KALNUM, KALDTM, KALTTP)
  SELECT calendar.num, BAKDTM, CASE WEEKDAY(BAKDTM) WHEN 5 THEN 2 WHEN 6 THEN 3 ELSE 1 END
  FROM MVS133BAK, (SELECT 1 AS num UNION ALL SELECT 2) AS calendar;

-- Control areas with their default plan and calendar; KB09 is shut down.
INSERT INTO MVS402ZKO (ZKONUM, ZKOTFS, ZKOKAL, ZKOSTA) VALUES
  ('KB01', 'W01', 1, NULL),
  ('KB02', 'W02', 2, 0),
  ('KB09', 'W01', 1, 8);

-- Readers; reader 2 of the main entrance has its own plan W03.
INSERT INTO MVS401ZLS (ZLSTRM, ZLSLES, ZLSZKO, ZLSTFR, ZLSSTA) VALUES
  ('TERM-HAUPTEINGANG', 1, 'KB01', NULL, NULL),
  ('TERM-HAUPTEINGANG', 2, 'KB01', 'W03', 0),
  ('TERM-LAGER', 1, 'KB02', NULL, NULL),
  ('TERM-ALT', 1, 'KB09', NULL, NULL),
  ('TERM-LAGER', 9, 'KB02', NULL, 4);

-- Time-plan entries: plan, day type, time zone, time bookings allowed.
INSERT INTO MVS404ZBR (ZBRZKO, ZBRZBK, ZBRTTP, ZBRZZZ, ZBRZTB, ZBRSTA) VALUES
  ('KB01', 'W01', 1, 'Z01', 1, NULL),
  ('KB01', 'W01', 1, 'Z02', 0, NULL),
  ('KB01', 'W01', 2, 'Z03', NULL, NULL),
  ('KB01', 'W03', 1, 'Z04', 1, NULL),
  ('KB02', 'W02', 1, 'Z01', 1, NULL),
  ('KB02', 'W02', 3, 'Z05', 2, NULL),
  ('KB02', 'W02', 2, 'Z06', 1, 4);

-- Time zones: windows in minutes after midnight; Z04 has a lunch break.
INSERT INTO MVS402ZUZ (ZUZNUM, ZUZVON, ZUZBIS, ZUZSTA) VALUES
  ('Z01', 360, 1200, NULL),
  ('Z02', 1320, 1440, NULL),
  ('Z03', 480, 720, NULL),
  ('Z04', 450, 720, NULL),
  ('Z04', 750, 990, NULL),
  ('Z05', 0, 1440, NULL),
  ('Z06', 0, 60, NULL);

-- Employee status files (MST, MDT, FCD).
-- Function codes: MAND1's code 40 has no short text and is not listed;
-- code 30 has no terminal code (written as -9).
INSERT INTO MAND1.MVs131Fcd (FCDNUM, FCDKRT, FCDTXT, FCDTYP, FCDFCD) VALUES
  (10, 'U', 'Urlaub', 'A', '1'),
  (20, 'K', 'Krankheit', 'A', '2'),
  (30, 'D', 'Dienstreise', 'B', NULL),
  (40, NULL, 'Intern', 'B', '4');
INSERT INTO MAND2.MVs131Fcd (FCDNUM, FCDKRT, FCDTXT, FCDTYP, FCDFCD) VALUES
  (10, 'U', 'Urlaub', 'A', '1'),
  (50, 'S', 'Schulung', 'B', '');

-- Departments of the persons, valid from the start of 2025.
INSERT INTO MAND1.Mvs311Zuo (ZUOPNR, ZUOGVO, ZUOGBI, ZUOABT) VALUES
  ('1001', '2025-01-01 00:00:00', NULL, 'Produktion'),
  ('1002', '2025-01-01 00:00:00', NULL, 'Montage');
INSERT INTO MAND2.Mvs311Zuo (ZUOPNR, ZUOGVO, ZUOGBI, ZUOABT) VALUES
  ('2001', '2025-01-01 00:00:00', NULL, 'Fuhrpark'),
  ('2002', '2025-01-01 00:00:00', NULL, 'Lager');

-- Status periods relative to the day the demo runs, inside the calendar
-- days above. Huber's badge has an end date, so the status file shows him
-- under tenant and personnel number. The period two years back is older
-- than the cut-off; status 13 is not a detail status.
INSERT INTO MAND1.Mvs382Bvf (BVFPNR, BVFGEN, BVFVON, BVFBIS, BVFFC1, BVFKST, BVFUH1) VALUES
  ('1001', 9, CURDATE() + INTERVAL 1 DAY, CURDATE() + INTERVAL 5 DAY, 10, '4100', NULL),
  ('1001', 2, CURDATE() - INTERVAL 1 DAY, CURDATE(), 20, '4100', '2026-01-01 07:30:00'),
  ('1002', 5, CURDATE() + INTERVAL 7 DAY, CURDATE() + INTERVAL 9 DAY, 30, '4200', NULL);
INSERT INTO MAND2.Mvs382Bvf (BVFPNR, BVFGEN, BVFVON, BVFBIS, BVFFC1, BVFKST, BVFUH1) VALUES
  ('2001', 13, CURDATE() + INTERVAL 2 DAY, CURDATE() + INTERVAL 3 DAY, 50, '7000', NULL),
  ('2002', 10, CURDATE(), CURDATE() + INTERVAL 3 DAY, 10, '7100', NULL),
  ('2002', 2, CURDATE() - INTERVAL 2 YEAR, CURDATE() - INTERVAL 2 YEAR, 10, '7100', NULL);

-- Working-time models (1 with a target time, 2 without) and a day record
-- for every person and calendar day: Monday to Friday are working days.
INSERT INTO MAND1.Mvs140Azv (AZVNUM, AZVGVO, AZVGBI, AZVSOL) VALUES
  (1, '2025-01-01', NULL, 480), (2, '2025-01-01', NULL, 0);
INSERT INTO MAND2.Mvs140Azv (AZVNUM, AZVGVO, AZVGBI, AZVSOL) VALUES
  (1, '2025-01-01', NULL, 450), (2, '2025-01-01', NULL, 0);
INSERT INTO MAND1.Mvs329Ztg (ZTGPNR, ZTGVON, ZTGAZT)
  SELECT PNRNUM, BAKDTM, IF(WEEKDAY(BAKDTM) < 5, 1, 2) FROM MAND1.MVS300PNR, MVS133BAK;
INSERT INTO MAND2.Mvs329Ztg (ZTGPNR, ZTGVON, ZTGAZT)
  SELECT PNRNUM, BAKDTM, IF(WEEKDAY(BAKDTM) < 5, 1, 2) FROM MAND2.MVS300PNR, MVS133BAK;
-- Balance file (SLD). MAND2 is at the premium location 42381, so its badges
-- get the premium texts of transfer/QORV/PraemienQORV.txt (laid out by
-- scripts/demo, like the run directory's SaldoRXV.ini). Dates are relative
-- to the day the demo runs; Huber (1002) has no balance rows.
UPDATE MVS112MND SET MNDSTO = '42381' WHERE MNDNUM = '00002';
INSERT INTO MAND1.mvs332urv (URVPNR, URVJHR, URVVJR, URVGUR, URVVTG) VALUES
  ('1001', YEAR(CURDATE()), 4.5, 30, 2), ('1001', YEAR(CURDATE()) - 1, 3, 28, 0);
INSERT INTO MAND2.mvs332urv (URVPNR, URVJHR, URVVJR, URVGUR, URVVTG) VALUES
  ('2001', YEAR(CURDATE()), 0, 25, 0), ('2002', YEAR(CURDATE()), 12.5, 30, 0);
INSERT INTO MAND1.mvs332utg (UTGPNR, UTGDTM, UTGGUT, UTGVTG, UTGRTG) VALUES
  ('1001', CURDATE() - INTERVAL 1 DAY, 12, 3, 21.5), ('1001', CURDATE() - INTERVAL 30 DAY, 10, 2, 22.5);
INSERT INTO MAND2.mvs332utg (UTGPNR, UTGDTM, UTGGUT, UTGVTG, UTGRTG) VALUES
  ('2001', CURDATE() - INTERVAL 2 DAY, 5, 0, 20), ('2002', CURDATE() - INTERVAL 1 DAY, 8.5, 1, 33);
INSERT INTO MAND1.mvs332sfz (SFZPNR, SFZDTM, SFZANS, SFZGEN, SFZRST, SFZVPL, SFZANT) VALUES
  ('1001', CURDATE() - INTERVAL 1 DAY, 6, 2, 3, 1, 0.5);
INSERT INTO MAND1.mvs332sfv (SFVPNR, SFVJHR, SFVVTG) VALUES ('1001', YEAR(CURDATE() - INTERVAL 1 DAY), 1.5);
INSERT INTO MAND1.mvs320tgb VALUES
  ('1001', CURDATE() - INTERVAL 1 DAY, 1, 755, 120, -30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
  ('1001', CURDATE() - INTERVAL 2 DAY, 1, 700, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
INSERT INTO MAND2.mvs320tgb VALUES
  ('2001', CURDATE() - INTERVAL 1 DAY, 1, -95, NULL, 45, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0),
  ('2002', CURDATE() - INTERVAL 3 DAY, 1, 2400, 60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
INSERT INTO MAND1.mvs327tag (TAGPNR, TAGTAG, TAGAKP) VALUES ('1001', CURDATE() - INTERVAL 1 DAY, 2);
INSERT INTO MAND2.mvs327tag (TAGPNR, TAGTAG, TAGAKP) VALUES ('2001', CURDATE() - INTERVAL 1 DAY, 3);

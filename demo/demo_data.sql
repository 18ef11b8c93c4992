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

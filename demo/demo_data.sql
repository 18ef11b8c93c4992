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

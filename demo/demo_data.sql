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

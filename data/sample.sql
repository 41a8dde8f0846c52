-- Sample data of the host stand-in: two data sharing groups and one
-- stand-alone subsystem, as their member agents report them.
--
--   group GRPA: RXA1 on SYSA (agent 04.20.00, via TEMSA)
--               RXA2 on SYSB (agent 04.01.00, via TEMSA)
--               RXA3 on SYSC (agent 04.20.00, via TEMSB)
--               RXA4 on SYSD (agent 04.20.00, via TEMSB) - agent offline,
--                 its rows are an hour old and must never be collected
--   group GRPB: RXB1 on SYSA (agent 04.01.00, via TEMSA)
--               RXB2 on SYSC (agent 04.20.00, via TEMSB) - subsystem stopped
--                 at the end of the interval: its agent reports it OFFLINE,
--                 its other rows are those of its last interval
--   stand-alone RXS1 on SYSD (agent 04.01.00, via TEMSB), IDNAME RXS1
--
-- Member agents are named WNRX4:<subsystem>:<system>. Time stamps are
-- CYYMMDDHHMMSSmmm digits (1261208103015000 = 8 Dec 2026 10:30:15.000);
-- RXA2 samples earliest in GRPA, RXB2 earliest in GRPB.
-- CHAR values are given unpadded; the store pads them on delivery.

-- Node status. Thru nodes TEMSA and TEMSB (type T) route the requests; every
-- member agent is a node of type V reached through one of them (THRUNODE).
-- WNRX4:RXA4:SYSD is offline, so member discovery skips it. The product XR rows
-- are the group views as an earlier heartbeat left them (THRUNODE holds the
-- parent): GRPA is current, GRPC is stale and goes offline at the next
-- heartbeat, GRPB is not registered yet.
INSERT INTO "Q7SRV.INODESTS"
  (NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, PRODUCT, VERSION, HOSTCODE, AFFINITIES, HOSTLEVEL)
VALUES
  ('TEMSA',                    'TEMSA',                    'TEMSA',                    'T', 'Y', 'EM', '06.30.00', 'MV', '00000000000000000000000000000000000000000EM', '10'),
  ('TEMSB',                    'TEMSB',                    'TEMSB',                    'T', 'Y', 'EM', '06.30.00', 'MV', '00000000000000000000000000000000000000000EM', '10'),
  ('WNRX4:RXA1:SYSA',          'TEMSA',                    'WNRX4:RXA1:SYSA',          'V', 'Y', 'RX', '04.20.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('WNRX4:RXA2:SYSB',          'TEMSA',                    'WNRX4:RXA2:SYSB',          'V', 'Y', 'RX', '04.01.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('WNRX4:RXA3:SYSC',          'TEMSB',                    'WNRX4:RXA3:SYSC',          'V', 'Y', 'RX', '04.20.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('WNRX4:RXA4:SYSD',          'TEMSB',                    'WNRX4:RXA4:SYSD',          'V', 'N', 'RX', '04.20.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('WNRX4:RXB1:SYSA',          'TEMSA',                    'WNRX4:RXB1:SYSA',          'V', 'Y', 'RX', '04.01.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('WNRX4:RXB2:SYSC',          'TEMSB',                    'WNRX4:RXB2:SYSC',          'V', 'Y', 'RX', '04.20.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('WNRX4:RXS1:SYSD',          'TEMSB',                    'WNRX4:RXS1:SYSD',          'V', 'Y', 'RX', '04.01.00', 'MV', '00080000000000000000000000000000000000000RX', '10'),
  ('RX4plex:RX4plex:Skelvane', '*',                        'RX4plex:RX4plex:Skelvane', 'V', 'Y', 'XR', '04.10.00', 'QJ', '0020000000000000000000000000000000000000000', '10'),
  ('GRPA:RX4plex:DSGROUP',     'RX4plex:RX4plex:Skelvane', 'GRPA:RX4plex:DSGROUP',     'V', 'Y', 'XR', '04.10.00', 'QJ', '0020000000000000000000000000000000000000000', '10'),
  ('GRPC:RX4plex:DSGROUP',     'RX4plex:RX4plex:Skelvane', 'GRPC:RX4plex:DSGROUP',     'V', 'Y', 'XR', '04.10.00', 'QJ', '0020000000000000000000000000000000000000000', '10');

-- Object activity over a 5-minute interval (rates per minute; JTPPCGP and
-- JTPPCIO are each member's own shares in tenths of a percent, JTPRIOR its
-- getpages per read in tenths). DBPAY.SPPAY1 comes from all three GRPA members
-- with getpages in the millions; DBHR only from RXA2; DBINV from RXA1 and RXA3;
-- SPINV2 had no activity. GRPB also has a DBPAY. RXS1 is stand-alone and
-- reports its own name as IDNAME and DSGROUP wherever it appears.
INSERT INTO "VXR.LGOAACT"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, IDNAME, DSGROUP, JTPDB, JTPSP, JTPGETP, JTPSYNR, JTPPREF, JTPASYW, JTPOTHW, JTPPCGP, JTPPCIO, JTPGPR, JTPSYR, JTPPRR, JTPASR, JTPOTR, JTPRIOR)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103015010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  3215400, 41230, 18800, 310, 95,  700,  753, 643080, 8246, 3760, 62, 19, 535),
  ('WNRX4:RXA1:SYSA', '1261208103015020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY2',   842100,  9120,  4400, 120, 30,  183,  170, 168420, 1824,  880, 24,  6, 622),
  ('WNRX4:RXA1:SYSA', '1261208103015030', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'IXPAY1',   410000,  3100,     0,   0, 12,   89,   38,  82000,  620,    0,  0,  2, 1322),
  ('WNRX4:RXA1:SYSA', '1261208103015040', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBINV',  'SPINV1',   125300,  2210,   800,  15,  4,   27,   37,  25060,  442,  160,  3,  0, 416),
  ('WNRX4:RXA2:SYSB', '1261208103012010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  2874900, 38750, 16200, 280, 77,  801,  813, 574980, 7750, 3240, 56, 15, 523),
  ('WNRX4:RXA2:SYSB', '1261208103012020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY2',   611800,  7300,  3100,  90, 21,  170,  154, 122360, 1460,  620, 18,  4, 588),
  ('WNRX4:RXA2:SYSB', '1261208103012030', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBHR',   'SPHR1',     98400,  1540,   620,   8,  3,   27,   31,  19680,  308,  124,  1,  0, 455),
  ('WNRX4:RXA3:SYSC', '1261208103018010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  1963200, 27410, 11900, 190, 64,  931,  916, 392640, 5482, 2380, 38, 12, 499),
  ('WNRX4:RXA3:SYSC', '1261208103018020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBINV',  'SPINV1',   143900,  2630,   950,  22,  6,   68,   83,  28780,  526,  190,  4,  1, 401),
  ('WNRX4:RXA3:SYSC', '1261208103018030', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBINV',  'SPINV2',        0,     0,     0,   0,  0,    0,    0,      0,    0,    0,  0,  0, 0),
  ('WNRX4:RXB1:SYSA', '1261208103021010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'DBPAY',  'SPPAY1',    54200,  1320,   400,  10,  2,  189,  213,  10840,  264,   80,  2,  0, 315),
  ('WNRX4:RXB1:SYSA', '1261208103021020', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',   231700,  4120,  2200,  45,  9,  810,  786,  46340,  824,  440,  9,  1, 366),
  ('WNRX4:RXB2:SYSC', '1261208103019010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',   187300,  3510,  1750,  38, 11,  710,  843,  37460,  702,  350,  7,  2, 356),
  ('WNRX4:RXB2:SYSC', '1261208103019020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBORD',  'IXORD1',    76500,   980,     0,   0,  3,  289,  156,  15300,  196,    0,  0,  0, 780),
  ('WNRX4:RXS1:SYSD', '1261208103025010', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'DBTEST', 'SPTEST1',   12300,   410,   120,   2,  0, 1000, 1000,   2460,   82,   24,  0,  0, 232),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',   999999,  9999,  9999,  99,  9, 1000, 1000, 199999, 1999, 1999, 19,  1, 500);

-- Object activity by thread (plan, authorization id, correlation id) over the
-- same interval. The payroll batch and CICS threads read DBPAY.SPPAY1 on every
-- GRPA member with getpages in the millions. The ORDQRY thread of RXB2 was
-- satisfied from the buffer pool (no reads) and keeps the JT7RIOR it reports.
INSERT INTO "VXR.LGOATHA"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, IDNAME, DSGROUP, JT7DBNM, JT7SPNM, JT7PLNM, JT7AUID, JT7CRID, JT7GETP, JT7SYNR, JT7SPRE, JT7LPRE, JT7DPRE, JT7ASYW, JT7OTHW, JT7PCGP, JT7PCIO, JT7GPR, JT7SYR, JT7SPR, JT7LPR, JT7DPR, JT7ASR, JT7OTR, JT7RIOR)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103115010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'PAYPLAN', 'PAYBATCH', 'PAYJOB01', 2140300, 28100,  9800, 2100, 1300, 200, 60,  640,  654, 428060, 5620, 1960, 420, 260, 40, 12, 518),
  ('WNRX4:RXA1:SYSA', '1261208103115020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'PAYONL',  'CICSPRD',  'PAYCICS1', 1075100, 13130,  4200,  900,  500, 110, 35,  321,  297, 215020, 2626,  840, 180, 100, 22,  7, 573),
  ('WNRX4:RXA1:SYSA', '1261208103115030', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBINV',  'SPINV1',  'INVPLAN', 'INVUSR',   'INVTSO01',  125300,  2210,   500,  200,  100,  15,  4,   37,   47,  25060,  442,  100,  40,  20,  3,  0, 416),
  ('WNRX4:RXA2:SYSB', '1261208103112010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'PAYPLAN', 'PAYBATCH', 'PAYJOB02', 2874900, 38750, 12000, 2800, 1400, 280, 77,  801,  813, 574980, 7750, 2400, 560, 280, 56, 15, 523),
  ('WNRX4:RXA2:SYSB', '1261208103112020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY2',  'PAYPLAN', 'PAYBATCH', 'PAYJOB02',  611800,  7300,  2100,  700,  300,  90, 21,  170,  154, 122360, 1460,  420, 140,  60, 18,  4, 588),
  ('WNRX4:RXA2:SYSB', '1261208103112030', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBHR',   'SPHR1',   'HRPLAN',  'HRADMIN',  'HRCICS1',    98400,  1540,   400,  150,   70,   8,  3,   27,   31,  19680,  308,   80,  30,  14,  1,  0, 455),
  ('WNRX4:RXA3:SYSC', '1261208103118010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'PAYONL',  'CICSPRD',  'PAYCICS2', 1963200, 27410,  8000, 2500, 1400, 190, 64,  931,  916, 392640, 5482, 1600, 500, 280, 38, 12, 499),
  ('WNRX4:RXA3:SYSC', '1261208103118020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBINV',  'SPINV1',  'INVPLAN', 'INVUSR',   'INVBAT01',  143900,  2630,   600,  250,  100,  22,  6,   68,   83,  28780,  526,  120,  50,  20,  4,  1, 401),
  ('WNRX4:RXB1:SYSA', '1261208103121010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',  'ORDPLAN', 'ORDUSR',   'ORDJOB01',  231700,  4120,  1500,  500,  200,  45,  9, 1000, 1000,  46340,  824,  300, 100,  40,  9,  1, 366),
  ('WNRX4:RXB2:SYSC', '1261208103119010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',  'ORDPLAN', 'ORDUSR',   'ORDJOB02',  187300,  3510,  1200,  400,  150,  38, 11,  806, 1000,  37460,  702,  240,  80,  30,  7,  2, 356),
  ('WNRX4:RXB2:SYSC', '1261208103119020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',  'ORDQRY',  'DDFUSR',   'ORDDDF01',   45000,     0,     0,    0,    0,   0,  0,  193,    0,   9000,    0,    0,   0,   0,  0,  0, 7),
  ('WNRX4:RXS1:SYSD', '1261208103125010', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'DBTEST', 'SPTEST1', 'TESTPLN', 'DEVUSR',   'TSOUSR1',    12300,   410,    80,   30,   10,   2,  0, 1000, 1000,   2460,   82,   16,   6,   2,  0,  0, 232),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'PAYPLAN', 'PAYBATCH', 'PAYJOB09',  999999,  9999,   999,   99,    9,   9,  9, 1000, 1000, 199999, 1999,  199,  19,   1,  1,  1, 900);

-- Member status. OASTATUS is YES on RXA1 and RXA2 but NO on RXA3, so GRPA shows
-- "Mix". RXB2's subsystem has stopped: its agent reports GRPB OFFLINE. RXS1 is a
-- stand-alone subsystem (IDTYPE SUBSYS). The delivered OADBCNT values are
-- replaced by the counts from LOBJECTS (GRPA 3, GRPB 3, RXS1 1).
INSERT INTO "VXR.XR_SY_EXC"
  (ORIGINNODE, TIME, IDSTATUS, IDTYPE, IDNAME, SMFID, RX4ID, RX4COUNT, SYS_TMAX, LOCKCNT, GBPCCNT, OADBCNT, OASTATUS)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103215000', 'ACTIVE',  'DSGRP',  'GRPA', 'SYSA', 'RXA1', 1, 200,  5, 3, 2, 'YES'),
  ('WNRX4:RXA2:SYSB', '1261208103212000', 'ACTIVE',  'DSGRP',  'GRPA', 'SYSB', 'RXA2', 1, 300,  7, 3, 2, 'YES'),
  ('WNRX4:RXA3:SYSC', '1261208103218000', 'ACTIVE',  'DSGRP',  'GRPA', 'SYSC', 'RXA3', 1, 250,  2, 3, 2, 'NO'),
  ('WNRX4:RXB1:SYSA', '1261208103221000', 'ACTIVE',  'DSGRP',  'GRPB', 'SYSA', 'RXB1', 1, 150,  1, 2, 1, 'YES'),
  ('WNRX4:RXB2:SYSC', '1261208103219000', 'OFFLINE', 'DSGRP',  'GRPB', 'SYSC', 'RXB2', 1, 150,  4, 2, 1, 'YES'),
  ('WNRX4:RXS1:SYSD', '1261208103225000', 'ACTIVE',  'SUBSYS', 'RXS1', 'SYSD', 'RXS1', 1, 100,  0, 0, 1, 'NO'),
  ('WNRX4:RXA4:SYSD', '1261208094540000', 'ACTIVE',  'DSGRP',  'GRPA', 'SYSD', 'RXA4', 1, 999, 99, 3, 9, 'YES');

-- Object spaces. JAPTYPE TSP and PTSP are table spaces, INDX and PTIX index
-- spaces; JAPBP is the buffer pool number; JAPEXTR extents per data set in
-- tenths. DBPAY.SPPAY1 is reported by all three GRPA members with different
-- largest extent counts; DBARCH.SPARCH1 is defined but has no data sets yet.
INSERT INTO "VXR.LOBJECTS"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, IDNAME, DSGROUP, JAPDB, JAPSPN, JAPTYPE, JAPBP, JAPVOLS, JAPDSNS, JAPEXTS, JAPEXTR, JAPMEXT)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103315010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'TSP',  1, 2, 4, 18, 45, 7),
  ('WNRX4:RXA1:SYSA', '1261208103315020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY2',  'TSP',  1, 1, 1,  3, 30, 3),
  ('WNRX4:RXA1:SYSA', '1261208103315030', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBPAY',  'IXPAY1',  'INDX', 2, 1, 1,  2, 20, 2),
  ('WNRX4:RXA1:SYSA', '1261208103315040', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'DBINV',  'SPINV1',  'PTSP', 1, 1, 2,  5, 25, 3),
  ('WNRX4:RXA2:SYSB', '1261208103312010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'TSP',  1, 2, 4, 19, 47, 9),
  ('WNRX4:RXA2:SYSB', '1261208103312020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY2',  'TSP',  1, 1, 1,  3, 30, 3),
  ('WNRX4:RXA2:SYSB', '1261208103312030', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBHR',   'SPHR1',   'TSP',  1, 1, 1,  4, 40, 4),
  ('WNRX4:RXA2:SYSB', '1261208103312040', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'DBHR',   'IXHR1',   'PTIX', 2, 1, 2,  2, 10, 1),
  ('WNRX4:RXA3:SYSC', '1261208103318010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBPAY',  'SPPAY1',  'TSP',  1, 2, 4, 18, 45, 8),
  ('WNRX4:RXA3:SYSC', '1261208103318020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBINV',  'SPINV1',  'PTSP', 1, 1, 2,  5, 25, 3),
  ('WNRX4:RXA3:SYSC', '1261208103318030', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'DBINV',  'IXINV1',  'INDX', 2, 1, 1,  1, 10, 1),
  ('WNRX4:RXB1:SYSA', '1261208103321010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'DBPAY',  'SPPAY1',  'TSP',  0, 1, 1,  2, 20, 2),
  ('WNRX4:RXB1:SYSA', '1261208103321020', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',  'PTSP', 1, 2, 3, 10, 33, 5),
  ('WNRX4:RXB2:SYSC', '1261208103319010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBORD',  'SPORD1',  'PTSP', 1, 2, 3, 10, 33, 6),
  ('WNRX4:RXB2:SYSC', '1261208103319020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBORD',  'IXORD1',  'PTIX', 2, 1, 3,  3, 10, 1),
  ('WNRX4:RXB2:SYSC', '1261208103319030', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'DBARCH', 'SPARCH1', 'TSP',  0, 0, 0,  0,  0, 0),
  ('WNRX4:RXS1:SYSD', '1261208103325010', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'DBTEST', 'SPTEST1', 'TSP',  0, 1, 1,  1, 10, 1),
  ('WNRX4:RXS1:SYSD', '1261208103325020', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'DBTEST', 'IXTEST1', 'INDX', 0, 1, 1,  1, 10, 1),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'DBOLD',  'SPOLD1',  'TSP',  1, 1, 1,  1, 10, 1);

-- Group buffer pool statistics: each member reports every structure it uses.
-- GRPA_GBP0 comes from three members, GRPA_GBP1 from two, GRPA_GBP8K0 from RXA2
-- only; GRPB_GBP0 from both GRPB members. RXA2 had one write failure.
-- GRPB_GBP1 shows counters beyond 32 bits: both members report over 1.5
-- billion cross-invalidation reads (the sum stays at the largest value),
-- and RXB2's counters of its last interval went back by one read failure.
INSERT INTO "VXR.LGBPSTAT"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, DSGROUP, IDNAME, STRUCTN, NUMRX4, XIREAD, XIREADN, GBPREAD, GBPREADN, CHGWRITE, CLNWRITE, PFREAD, PFREADN, RDFAILS, WRFAILS, SYSWRCHN, SYSWRCLN, COCLASST, COGBPT, COPAGES, COENGNA, WRENGNA, RPLREQ, RPLRCHN, RPLRCLN, NUMCHECK, NUMREBLD, STGSTAT, UNLCO, READCOC, READCOST, DELNAME, RDIRINFO, UNREGP, REGPAGE)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103415010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'GRPA_GBP0',   1,  1200,  300,  8400,  2100,  15600,  800,  950,  240, 0, 0,  420,  30,  12,  6,  3100, 0, 0,  5,  2, 1,  14, 0, 0,  2,  40,  18,  9,  3,  25, 130),
  ('WNRX4:RXA1:SYSA', '1261208103415020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'GRPA_GBP1',   1,   420,  105,  2940,   735,   5460,  280,  332,   84, 0, 0,  147,  10,   4,  2,  1085, 0, 0,  1,  0, 0,   4, 0, 0,  0,  14,   6,  3,  1,   8, 45),
  ('WNRX4:RXA2:SYSB', '1261208103412010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'GRPA_GBP0',   1,  1680,  420, 11760,  2940,  21840, 1120, 1330,  336, 0, 1,  588,  42,  16,  8,  4340, 0, 0,  7,  2, 1,  19, 0, 0,  2,  56,  25, 12,  4,  35, 182),
  ('WNRX4:RXA2:SYSB', '1261208103412020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'GRPA_GBP8K0', 1,   120,   30,   840,   210,   1560,   80,   95,   24, 0, 0,   42,   3,   1,  0,   310, 0, 0,  0,  0, 0,   1, 0, 0,  0,   4,   1,  0,  0,   2, 13),
  ('WNRX4:RXA3:SYSC', '1261208103418010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'GRPA_GBP0',   1,   720,  180,  5040,  1260,   9360,  480,  570,  144, 0, 0,  252,  18,   7,  3,  1860, 0, 0,  3,  1, 0,   8, 0, 0,  1,  24,  10,  5,  1,  15, 78),
  ('WNRX4:RXA3:SYSC', '1261208103418020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'GRPA_GBP1',   1,   600,  150,  4200,  1050,   7800,  400,  475,  120, 0, 0,  210,  15,   6,  3,  1550, 0, 0,  2,  1, 0,   7, 0, 0,  1,  20,   9,  4,  1,  12, 65),
  ('WNRX4:RXB1:SYSA', '1261208103421010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'GRPB_GBP0',   1,   300,   75,  2100,   525,   3900,  200,  237,   60, 0, 0,  105,   7,   3,  1,   775, 0, 0,  1,  0, 0,   3, 0, 0,  0,  10,   4,  2,  0,   6, 32),
  ('WNRX4:RXB2:SYSC', '1261208103419010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'GRPB_GBP0',   1,   240,   60,  1680,   420,   3120,  160,  190,   48, 0, 0,   84,   6,   2,  1,   620, 0, 0,  1,  0, 0,   2, 0, 0,  0,   8,   3,  1,  0,   5, 26),
  ('WNRX4:RXB1:SYSA', '1261208103421020', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'GRPB_GBP1',   1, 1500000000, 1200000000, 1900000000, 40, 3120, 160, 190, 48,  0, 0,   84,   6,   2,  1,   620, 0, 0,  1,  0, 0,   2, 0, 0,  0,   8,   3,  1,  0,   5, 26),
  ('WNRX4:RXB2:SYSC', '1261208103419020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'GRPB_GBP1',   1, 1600000000, 1100000000,  300000000, 30, 2950, 150, 170, 41, -1, 0,   80,   5,   2,  1,   590, 0, 0,  1,  0, 0,   2, 0, 0,  0,   7,   3,  1,  0,   4, 24),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'GRPA_GBP0',   1, 10800, 2700, 75600, 18900, 140400, 7200, 8550, 2160, 0, 0, 3780, 270, 108, 54, 27900, 0, 0, 45, 18, 9, 126, 0, 0, 18, 360, 162, 81, 27, 225, 1170);

-- Lock structure of each group as each member sees it, with the member's
-- own lock requests (R4PLOCK, R4CPLOK, R4UPLOK) and suspensions (IRLM, XES,
-- false). R4GCONT and R4FCONT are the member's own percentages. GRPB had
-- requests but no suspensions. The stand-alone RXS1 counts its requests in
-- billions: their sum needs more than 32 bits.
INSERT INTO "VXR.LVXR_CF"
  (CONNECT, DSGROUP, R4CPLOK, R4FCONT, R4GCONT, R4PLOCK, R4SUSFAL, R4SUSIRL, R4SUSXES, R4UPLOK, FALSECO, FALSECR, GLOBALC, GLOBALR, IDNAME, LOCKA, LOCKP, LOCKU, ORIGINNODE, RECORDA, RECORDP, RECORDU, STRUCTN, STRUCTP, STRUCTS, STRUCTST, STRUCTT, STRUCTU, TIMESTAMP)
VALUES
  (3, 'GRPA', 1200, 1, 1, 600000, 100,  6000,  600,  300, 100,  1,   6600,  110, 'GRPA', 2097152, 0, 18500, 'WNRX4:RXA1:SYSA', 42000, 3, 1260, 'GRPA_LOCK1', 47, 32768, 'ACTIVE', 'LOCK', 15400, '1261208103515010'),
  (3, 'GRPA',    0, 0, 1, 300000,   0,  3000,  300,  150,   0,  0,   3300,   55, 'GRPA', 2097152, 0, 18350, 'WNRX4:RXA2:SYSB', 42000, 3, 1260, 'GRPA_LOCK1', 47, 32768, 'ACTIVE', 'LOCK', 15400, '1261208103512010'),
  (3, 'GRPA',  900, 0, 1, 425000,  35,  4100,  410,  200,  35,  0,   4510,   75, 'GRPA', 2097152, 0, 18420, 'WNRX4:RXA3:SYSC', 42000, 3, 1260, 'GRPA_LOCK1', 47, 32768, 'ACTIVE', 'LOCK', 15400, '1261208103518010'),
  (1, 'GRPB',    0, 0, 0,  82000,   0,     0,    0,    0,   0,  0,      0,    0, 'GRPB', 2097152, 0,  2100, 'WNRX4:RXB1:SYSA', 42000, 3, 1260, 'GRPB_LOCK1', 47, 32768, 'ACTIVE', 'LOCK', 15400, '1261208103521010'),
  (1, 'GRPB',    0, 0, 0,  61000,   0,     0,    0,    0,   0,  0,      0,    0, 'GRPB', 2097152, 0,  1900, 'WNRX4:RXB2:SYSC', 42000, 3, 1260, 'GRPB_LOCK1', 47, 32768, 'ACTIVE', 'LOCK', 15400, '1261208103519010'),
  (1, 'RXS1', 1500000000, 4, 2, 2000000000, 30000000, 700000000, 50000000, 400000000, 30000000, 1, 750000000, 12000000, 'RXS1', 1048576, 0, 9100, 'WNRX4:RXS1:SYSD', 21000, 2, 630, 'RXS1_LOCK1', 12, 16384, 'ACTIVE', 'LOCK', 7800, '1261208103525010'),
  (3, 'GRPA', 9999, 0, 9, 999999, 999, 99999, 9999, 9999, 999, 16, 109998, 1833, 'GRPA', 2097152, 4, 99999, 'WNRX4:RXA4:SYSD', 42000, 3, 1260, 'GRPA_LOCK1', 47, 32768, 'ACTIVE', 'LOCK', 15400, '1261208094540010');

-- Volume use by database and space (JVPVUSE in percent of the volume; I/O
-- over the interval, rates per minute). DBPAY.SPPAY1 spans PAY001 and PAY002;
-- all three GRPA members hold DBPAY, only RXA2 holds DBHR. PAY001 also holds
-- RXA2's part of DBINV, so it is used by two databases.
INSERT INTO "VXR.LGOAVDB"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, IDNAME, DSGROUP, JVPVOL, JVPDB, JVPSP, JVPDSNS, JVPEXTS, JVPVUSE, JVPTIO, JVPRIO, JVPWIO, JVPTIOR, JVPRIOR, JVPWIOR)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103615010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY001', 'DBPAY',  'SPPAY1',  2,  9, 38,  41400, 36100, 5300,  8280,  7220, 1060),
  ('WNRX4:RXA1:SYSA', '1261208103615020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY002', 'DBPAY',  'SPPAY1',  2,  9, 35,  27800, 23600, 4200,  5560,  4720, 840),
  ('WNRX4:RXA1:SYSA', '1261208103615030', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY001', 'DBPAY',  'SPPAY2',  1,  3, 12,  14600, 13100, 1500,  2920,  2620, 300),
  ('WNRX4:RXA1:SYSA', '1261208103615040', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'INV001', 'DBINV',  'SPINV1',  2,  5, 21,   3310,  3000,  310,   662,   600, 62),
  ('WNRX4:RXA2:SYSB', '1261208103612010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY001', 'DBPAY',  'SPPAY1',  2, 10, 39,  38100, 33200, 4900,  7620,  6640, 980),
  ('WNRX4:RXA2:SYSB', '1261208103612020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY002', 'DBPAY',  'SPPAY1',  2,  9, 35,  25500, 21700, 3800,  5100,  4340, 760),
  ('WNRX4:RXA2:SYSB', '1261208103612030', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY001', 'DBPAY',  'SPPAY2',  1,  3, 12,  11600, 10400, 1200,  2320,  2080, 240),
  ('WNRX4:RXA2:SYSB', '1261208103612040', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'HR0001', 'DBHR',   'SPHR1',   1,  4,  9,   2340,  2160,  180,   468,   432, 36),
  ('WNRX4:RXA2:SYSB', '1261208103612050', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY001', 'DBINV',  'SPINV2',  1,  2,  4,    950,   880,   70,   190,   176, 14),
  ('WNRX4:RXA3:SYSC', '1261208103618010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'PAY001', 'DBPAY',  'SPPAY1',  2,  9, 38,  42000, 39300, 2700,  8400,  7860, 540),
  ('WNRX4:RXA3:SYSC', '1261208103618020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'INV001', 'DBINV',  'SPINV1',  2,  5, 21,   3870,  3580,  290,   774,   716, 58),
  ('WNRX4:RXB1:SYSA', '1261208103621010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'PAY101', 'DBPAY',  'SPPAY1',  1,  2,  6,   1830,  1720,  110,   366,   344, 22),
  ('WNRX4:RXB1:SYSA', '1261208103621020', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'ORD001', 'DBORD',  'SPORD1',  3, 10, 44,   7220,  6320,  900,  1444,  1264, 180),
  ('WNRX4:RXB2:SYSC', '1261208103619010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'ORD001', 'DBORD',  'SPORD1',  3, 10, 44,   6030,  5260,  770,  1206,  1052, 154),
  ('WNRX4:RXB2:SYSC', '1261208103619020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'ORD001', 'DBORD',  'IXORD1',  3,  3,  8,   1040,   980,   60,   208,   196, 12),
  ('WNRX4:RXS1:SYSD', '1261208103625010', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'TST001', 'DBTEST', 'SPTEST1', 1,  1,  3,    570,   530,   40,   114,   106, 8),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'PAY001', 'DBPAY',  'SPPAY1',  9, 99, 99, 109998, 99999, 9999, 21999, 19999, 1999);

-- Volumes as each member sees them: utilization in percent, response time in
-- milliseconds, all I/O to the volume and the member's database I/O, rates per
-- minute. PAY001 is used by all GRPA members; SCR001 is an idle scratch volume
-- of RXB2 without data sets; INV001 is a serial in both groups (two volumes).
INSERT INTO "VXR.LGOAVOL"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, IDNAME, DSGROUP, JVSVOLN, JVSVUTIL, JVSVRESP, JVSTIO, JVSDBIO, JVSTIOR, JVSDBIR, JVSDSNS, JVSEXTS, JVSVUSE)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103715010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY001', 41,  3,  72400, 68700,  14480, 13740, 3, 12, 50),
  ('WNRX4:RXA1:SYSA', '1261208103715020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY002', 27,  2,  30100, 27800,   6020,  5560, 2,  9, 35),
  ('WNRX4:RXA1:SYSA', '1261208103715030', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'INV001',  9,  4,   4200,  3310,    840,   662, 2,  5, 21),
  ('WNRX4:RXA2:SYSB', '1261208103712010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY001', 38,  8,  63900, 59700,  12780, 11940, 3, 13, 51),
  ('WNRX4:RXA2:SYSB', '1261208103712020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY002', 25,  2,  27300, 25500,   5460,  5100, 2,  9, 35),
  ('WNRX4:RXA2:SYSB', '1261208103712030', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'HR0001',  4,  1,   2900,  2340,    580,   468, 1,  4, 9),
  ('WNRX4:RXA3:SYSC', '1261208103718010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'PAY001', 44,  5,  44800, 42000,   8960,  8400, 2,  9, 38),
  ('WNRX4:RXA3:SYSC', '1261208103718020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'INV001', 11,  3,   4700,  3870,    940,   774, 2,  5, 21),
  ('WNRX4:RXB1:SYSA', '1261208103721010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'PAY101',  6,  1,   2100,  1830,    420,   366, 1,  2, 6),
  ('WNRX4:RXB1:SYSA', '1261208103721020', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'ORD001', 22,  4,   8100,  7220,   1620,  1444, 3, 10, 44),
  ('WNRX4:RXB1:SYSA', '1261208103721030', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'INV001',  3,  2,   1500,  1210,    300,   242, 1,  3, 12),
  ('WNRX4:RXB2:SYSC', '1261208103719010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'ORD001', 19,  6,   7600,  7070,   1520,  1414, 6, 13, 52),
  ('WNRX4:RXB2:SYSC', '1261208103719020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'SCR001',  0,  0,      0,     0,      0,     0, 0,  0, 0),
  ('WNRX4:RXS1:SYSD', '1261208103725010', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'TST001',  2,  1,    900,   570,    180,   114, 2,  2, 3),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'PAY001', 99, 99, 999999, 99999, 199999, 19999, 9, 99, 99);

-- Thread activity by volume. Four threads of three GRPA members use PAY001.
INSERT INTO "VXR.LGOAVTA"
  (ORIGINNODE, TIMESTAMP, SYSID, RX4ID, IDNAME, DSGROUP, JVTVOL, JVTPLNM, JVTAUID, JVTCRID, JVTVUSE, JVTTIO, JVTRIO, JVTWIO, JVTTIOR, JVTRIOR, JVTWIOR)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208103815010', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY001', 'PAYPLAN', 'PAYBATCH', 'PAYJOB01', 50,  53500, 48200, 5300, 10700,  9640, 1060),
  ('WNRX4:RXA1:SYSA', '1261208103815020', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'PAY001', 'PAYONL',  'CICSPRD',  'PAYCICS1', 50,  15200, 14900,  300,  3040,  2980, 60),
  ('WNRX4:RXA1:SYSA', '1261208103815030', 'SYSA', 'RXA1', 'GRPA', 'GRPA', 'INV001', 'INVPLAN', 'INVUSR',   'INVTSO01', 21,   3310,  3000,  310,   662,   600, 62),
  ('WNRX4:RXA2:SYSB', '1261208103812010', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'PAY001', 'PAYPLAN', 'PAYBATCH', 'PAYJOB02', 51,  44400, 39800, 4600,  8880,  7960, 920),
  ('WNRX4:RXA2:SYSB', '1261208103812020', 'SYSB', 'RXA2', 'GRPA', 'GRPA', 'HR0001', 'HRPLAN',  'HRADMIN',  'HRCICS1',   9,   2340,  2160,  180,   468,   432, 36),
  ('WNRX4:RXA3:SYSC', '1261208103818010', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'PAY001', 'PAYONL',  'CICSPRD',  'PAYCICS2', 38,  42000, 39300, 2700,  8400,  7860, 540),
  ('WNRX4:RXA3:SYSC', '1261208103818020', 'SYSC', 'RXA3', 'GRPA', 'GRPA', 'INV001', 'INVPLAN', 'INVUSR',   'INVBAT01', 21,   3870,  3580,  290,   774,   716, 58),
  ('WNRX4:RXB1:SYSA', '1261208103821010', 'SYSA', 'RXB1', 'GRPB', 'GRPB', 'ORD001', 'ORDPLAN', 'ORDUSR',   'ORDJOB01', 44,   7220,  6320,  900,  1444,  1264, 180),
  ('WNRX4:RXB2:SYSC', '1261208103819010', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'ORD001', 'ORDPLAN', 'ORDUSR',   'ORDJOB02', 52,   6030,  5260,  770,  1206,  1052, 154),
  ('WNRX4:RXB2:SYSC', '1261208103819020', 'SYSC', 'RXB2', 'GRPB', 'GRPB', 'ORD001', 'ORDQRY',  'DDFUSR',   'ORDDDF01', 52,   1040,  1040,    0,   208,   208, 0),
  ('WNRX4:RXS1:SYSD', '1261208103825010', 'SYSD', 'RXS1', 'RXS1', 'RXS1', 'TST001', 'TESTPLN', 'DEVUSR',   'TSOUSR1',   3,    570,   530,   40,   114,   106, 8),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSD', 'RXA4', 'GRPA', 'GRPA', 'PAY001', 'PAYPLAN', 'PAYBATCH', 'PAYJOB09', 99, 109998, 99999, 9999, 21999, 19999, 1999);

-- Lock conflicts, holder and waiter each a row. Agents above 04.01.00 (RXA1,
-- RXA3, RXB2, and the offline RXA4) also report the resource split into types
-- and names and the long authorization id; the older agents (RXA2, RXB1, RXS1)
-- report blanks there and the resource in LK_RESOURC only. Resources cover two
-- and four name pairs, a third pair of another type than PT, two PT pairs (the
-- later one counts), an "RS=" name with blanks inside, an "RS" with nothing
-- after it at the end of the 50 characters, and a single token.
INSERT INTO "VXR.RX4LKCONF"
  (ORIGINNODE, LK_ET, PLAN_NAME, SMFID, RX4ID, AUTHID, CONNID, CONNTYPE, TH_STATUS, LK_RESOURC, LK_LEVEL, LK_STATUS, SUBSYS, TH_TYPE, LK_TYPE, LK_TOKEN, IDNAME, TIMESTAMP, CORRID, DISPET, UAUTHID, RESTYPE1, RESTYPE2, RESTYPE3, RESTYPE4, URESNAME1, URESNAME2, RESNAME3, RESNAME4)
VALUES
  ('WNRX4:RXA1:SYSA', '0012', 'PAYPLAN', 'SYSA', 'RXA1', 'PAYBATCH', 'BATCH',    'BATCH',   'WAIT-LOCK', 'DB=DBPAY PS=SPPAY1 PT=0001',           'X',  'WAIT', 'RXA1', 'ALLIED', 'PAGE',     '00C3A10F0000A001', 'GRPA', '1261208103915010', 'PAYJOB01', '00:00:12.480', 'PAYROLL.BATCH.SCHEDULER.ID',   'DB', 'PS', 'PT', '', 'DBPAY', 'SPPAY1', '0001', ''),
  ('WNRX4:RXA1:SYSA', '0003', 'PAYONL',  'SYSA', 'RXA1', 'CICSPRD',  'CICSPRD1', 'CICS',    'IN-RX4',    'DB=DBPAY PS=SPPAY1 PT=0001',           'U',  'HOLD', 'RXA1', 'ALLIED', 'PAGE',     '00C3A10F0000A001', 'GRPA', '1261208103915020', 'PAYCICS1', '00:00:03.115', 'CICSPRD',                      'DB', 'PS', 'PT', '', 'DBPAY', 'SPPAY1', '0001', ''),
  ('WNRX4:RXA2:SYSB', '0031', 'HRPLAN',  'SYSB', 'RXA2', 'HRADMIN',  'CICSPRD2', 'CICS',    'WAIT-LOCK', 'DB=DBHR PS=SPHR1',                     'S',  'WAIT', 'RXA2', 'ALLIED', 'TABLESPC', '00C3A2200000B017', 'GRPA', '1261208103912010', 'HRCICS1',  '00:00:31.002', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXA2:SYSB', '0008', 'PAYPLAN', 'SYSB', 'RXA2', 'PAYBATCH', 'BATCH',    'BATCH',   'IN-RX4',    'DB=DBPAY PS=SPPAY2 PT=0003 PG=00001A', 'X',  'HOLD', 'RXA2', 'ALLIED', 'PAGE',     '00C3A2200000B020', 'GRPA', '1261208103912020', 'PAYJOB02', '00:00:08.770', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXA2:SYSB', '0002', 'PAYUTIL', 'SYSB', 'RXA2', 'DBADM',    'UTILITY',  'UTILITY', 'WAIT-LOCK', 'RS=PAY BATCH SERIAL',                  'X',  'WAIT', 'RXA2', 'ALLIED', 'UTSERIAL', '00C3A2200000B031', 'GRPA', '1261208103912030', 'PAYREORG', '00:00:02.310', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXA3:SYSC', '0005', 'INVPLAN', 'SYSC', 'RXA3', 'INVUSR',   'BATCH',    'BATCH',   'WAIT-LOCK', 'DB=DBINV PS=SPINV1 PT=0012',           'IX', 'WAIT', 'RXA3', 'ALLIED', 'ROW',      '00C3A3050000C004', 'GRPA', '1261208103918010', 'INVBAT01', '00:00:05.604', 'INVENTORY_BATCH_USER',         'DB', 'PS', 'PT', '', 'DBINV', 'SPINV1', '0012', ''),
  ('WNRX4:RXB1:SYSA', '0017', 'ORDPLAN', 'SYSA', 'RXB1', 'ORDUSR',   'BATCH',    'BATCH',   'WAIT-LOCK', 'DB=DBORD PS=SPORD1 PT=0002',           'X',  'WAIT', 'RXB1', 'ALLIED', 'PAGE',     '00C3B1110000D002', 'GRPB', '1261208103921010', 'ORDJOB01', '00:00:17.230', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXB2:SYSC', '0009', 'ORDQRY',  'SYSC', 'RXB2', 'DDFUSR',   'SERVER',   'DDF',     'IN-RX4',    'DB=DBORD PS=SPORD1 PT=0002',           'S',  'HOLD', 'RXB2', 'DBAT',   'PAGE',     '00C3B1110000D002', 'GRPB', '1261208103919010', 'ORDDDF01', '00:00:09.005', 'order.query.service@appsrv01', 'DB', 'PS', 'PT', '', 'DBORD', 'SPORD1', '0002', ''),
  ('WNRX4:RXS1:SYSD', '0001', 'TESTPLN', 'SYSD', 'RXS1', 'DEVUSR',   'TSO',      'TSO',     'WAIT-LOCK', 'DB=DBTEST PS=SPTEST1',                 'S',  'WAIT', 'RXS1', 'ALLIED', 'TABLESPC', '00C3D4010000E001', 'RXS1', '1261208103925010', 'TSOUSR1',  '00:00:01.120', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXS1:SYSD', '0004', 'DSNUTIL', 'SYSD', 'RXS1', 'DBADM',    'UTILITY',  'UTILITY', 'WAIT-LOCK', 'SYSUTILX',                             'X',  'WAIT', 'RXS1', 'ALLIED', 'UTSERIAL', '00C3D4010000E002', 'RXS1', '1261208103925020', 'DBADMJOB', '00:00:04.400', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXB1:SYSA', '0006', 'ORDPLAN', 'SYSA', 'RXB1', 'ORDUSR',   'BATCH',    'BATCH',   'WAIT-LOCK', 'DB=DBORD PS=SPORD2 PT=00000123 PT=07',  'X',  'WAIT', 'RXB1', 'ALLIED', 'PAGE',     '00C3B1110000D003', 'GRPB', '1261208103921020', 'ORDJOB02', '00:00:06.410', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXS1:SYSD', '0002', 'TESTPLN', 'SYSD', 'RXS1', 'DEVUSR',   'TSO',      'TSO',     'WAIT-LOCK', 'DB=DBTEST PS=SPTEST2 IX=IXTEST1',      'S',  'WAIT', 'RXS1', 'ALLIED', 'INDEX',    '00C3D4010000E003', 'RXS1', '1261208103925030', 'TSOUSR2',  '00:00:02.050', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXS1:SYSD', '0001', 'DSNUTIL', 'SYSD', 'RXS1', 'DBADM',    'UTILITY',  'UTILITY', 'WAIT-LOCK', '                                                RS', 'X', 'WAIT', 'RXS1', 'ALLIED', 'UTSERIAL', '00C3D4010000E004', 'RXS1', '1261208103925040', 'DBADMJB2', '00:00:01.010', '',                             '',   '',   '',   '', '',      '',       '',     ''),
  ('WNRX4:RXA4:SYSD', '9999', 'PAYPLAN', 'SYSD', 'RXA4', 'PAYBATCH', 'BATCH',    'BATCH',   'WAIT-LOCK', 'DB=DBPAY PS=SPPAY1 PT=0009',           'X',  'WAIT', 'RXA4', 'ALLIED', 'PAGE',     '00C3A4990000F999', 'GRPA', '1261208094540010', 'PAYJOB09', '00:59:59.000', 'PAYBATCH',                     'DB', 'PS', 'PT', '', 'DBPAY', 'SPPAY1', '0009', '');

-- Threads with exceptions. TH_GROUPN and TH_GMN name the group and member;
-- EX_ETIM, THD_CPU and THD_WAIT are seconds as four characters, the DISP_
-- columns the same times for display. Agents above 04.01.00 also report the
-- long authorization id, package and collection (UEX_AUTHID, UTDIDPACK,
-- UTDIDPCOL) and EX_IDBT; older agents leave them blank. TYPE_IND 1 marks a
-- thread over its getpage limit, 2 one waiting on a lock.
INSERT INTO "VXR.XR_TH_EXC"
  (ORIGINNODE, EX_ETIM, THD_CPU, THD_WAIT, EX_PLAN, EX_QNSID, EX_RX4ID, EX_AUTHID, EX_CONNID, TH_CONNTYP, THREADSTAT, TH_TYPE, TH_SPN, TH_GROUPN, TH_GMN, IDNAME, EX_TIME, EX_CORRID, DISP_ET, DISP_CPU, DISP_WAIT, EX_PKGN, EX_COLLID, UEX_AUTHID, UTDIDPACK, UTDIDPCOL, EX_IDBT, EX_GETP, EX_UPDCNT, EX_SRDCNT, EX_PREF, IMMWIO, LISTPREF, DYNPREF, SUCHPR, SUCHPW, UNSUCHPR, UNSUCHPW, UNGPOP, APAGER, PHPMOVE, TYPE_IND)
VALUES
  ('WNRX4:RXA1:SYSA', '0124', '0031', '0067', 'PAYPLAN', 'SYSA', 'RXA1', 'PAYBATCH', 'BATCH',    'BATCH', 'IN-SQL-CALL', 'ALLIED', 'DBPAY.SPPAY1',   'GRPA', 'RXA1', 'GRPA', '1261208104015010', 'PAYJOB01', '00:02:04.310', '00:00:31.020', '00:01:07.455', 'PAYPKG01', 'PAYROLL_COLL',   'PAYROLL.BATCH.SCHEDULER.ID',   'PAYPKG01', 'PAYROLL_COLL',   '0015', 2140300, 18400, 28100,  9800, 12, 2100, 1300, 53507, 736, 2378, 26, 42, 3266, 0, 1),
  ('WNRX4:RXA1:SYSA', '0009', '0002', '0006', 'PAYONL',  'SYSA', 'RXA1', 'CICSPRD',  'CICSPRD1', 'CICS',  'WAIT-LOCK',   'ALLIED', 'DBPAY.SPPAY1',   'GRPA', 'RXA1', 'GRPA', '1261208104015020', 'PAYCICS1', '00:00:09.880', '00:00:02.104', '00:00:06.530', 'PAYPKG02', 'PAYROLL_ONLINE', 'CICSPRD',                      'PAYPKG02', 'PAYROLL_ONLINE', '0000', 1075100,  2300, 13130,  4200,  0,  900,  500, 26877,  92, 1194,  3, 21, 1400, 0, 2),
  ('WNRX4:RXA2:SYSB', '0151', '0044', '0082', 'PAYPLAN', 'SYSB', 'RXA2', 'PAYBATCH', 'BATCH',    'BATCH', 'IN-SQL-CALL', 'ALLIED', 'DBPAY.SPPAY1',   'GRPA', 'RXA2', 'GRPA', '1261208104012010', 'PAYJOB02', '00:02:31.004', '00:00:44.200', '00:01:22.610', 'PAYPKG01', 'PAYROLL_COLL',   '',                             '',         '',               '',     2874900, 21500, 38750, 12000, 20, 2800, 1400, 71872, 860, 3194, 30, 57, 4000, 0, 1),
  ('WNRX4:RXA2:SYSB', '0033', '0001', '0031', 'HRPLAN',  'SYSB', 'RXA2', 'HRADMIN',  'CICSPRD2', 'CICS',  'WAIT-LOCK',   'ALLIED', 'DBHR.SPHR1',     'GRPA', 'RXA2', 'GRPA', '1261208104012020', 'HRCICS1',  '00:00:33.050', '00:00:01.140', '00:00:31.002', 'HRPKG01',  'HR_COLL',        '',                             '',         '',               '',       98400,   120,  1540,   400,  0,  150,   70,  2460,   4,  109,  0,  1,  133, 0, 2),
  ('WNRX4:RXA3:SYSC', '0098', '0029', '0050', 'PAYONL',  'SYSC', 'RXA3', 'CICSPRD',  'CICSPRD3', 'CICS',  'IN-SQL-CALL', 'ALLIED', 'DBPAY.SPPAY1',   'GRPA', 'RXA3', 'GRPA', '1261208104018010', 'PAYCICS2', '00:01:38.200', '00:00:29.330', '00:00:50.004', 'PAYPKG02', 'PAYROLL_ONLINE', 'CICSPRD',                      'PAYPKG02', 'PAYROLL_ONLINE', '0000', 1963200,  9100, 27410,  8000,  4, 2500, 1400, 49080, 364, 2181, 13, 39, 2666, 0, 1),
  ('WNRX4:RXA3:SYSC', '0006', '0001', '0005', 'INVPLAN', 'SYSC', 'RXA3', 'INVUSR',   'BATCH',    'BATCH', 'WAIT-LOCK',   'ALLIED', 'DBINV.SPINV1',   'GRPA', 'RXA3', 'GRPA', '1261208104018020', 'INVBAT01', '00:00:06.010', '00:00:00.900', '00:00:05.604', 'INVPKG01', 'INVENTORY',      'INVENTORY_BATCH_USER',         'INVPKG01', 'INVENTORY',      '0002',  143900,   610,  2630,   600,  0,  250,  100,  3597,  24,  159,  0,  2,  200, 0, 2),
  ('WNRX4:RXB1:SYSA', '0041', '0012', '0021', 'ORDPLAN', 'SYSA', 'RXB1', 'ORDUSR',   'BATCH',    'BATCH', 'IN-SQL-CALL', 'ALLIED', 'DBORD.SPORD1',   'GRPB', 'RXB1', 'GRPB', '1261208104021010', 'ORDJOB01', '00:00:41.300', '00:00:12.015', '00:00:21.700', 'ORDPKG01', 'ORDERS',         '',                             '',         '',               '',      231700,  4100,  4120,  1500,  3,  500,  200,  5792, 164,  257,  5,  4,  500, 0, 1),
  ('WNRX4:RXB2:SYSC', '0012', '0003', '0009', 'ORDQRY',  'SYSC', 'RXB2', 'DDFUSR',   'SERVER',   'DDF',   'IN-RX4',      'DBAT',   'DBORD.SPORD1',   'GRPB', 'RXB2', 'GRPB', '1261208104019010', 'ORDDDF01', '00:00:12.600', '00:00:03.010', '00:00:09.005', 'ORDQPKG',  'ORDERS_QUERY',   'order.query.service@appsrv01', 'ORDQPKG',  'ORDERS_QUERY',   '0120',   45000,     0,     0,     0,  0,    0,    0,  1125,   0,   50,  0,  0,    0, 0, 1),
  ('WNRX4:RXS1:SYSD', '0004', '0001', '0002', 'TESTPLN', 'SYSD', 'RXS1', 'DEVUSR',   'TSO',      'TSO',   'IN-RX4',      'ALLIED', 'DBTEST.SPTEST1', '',     'RXS1', 'RXS1', '1261208104025010', 'TSOUSR1',  '00:00:04.120', '00:00:01.030', '00:00:02.210', 'TSTPKG',   'TEST',           '',                             '',         '',               '',       12300,    80,   410,    80,  0,   30,   10,   307,   3,   13,  0,  0,   26, 0, 1),
  ('WNRX4:RXA4:SYSD', '9999', '9999', '9999', 'PAYPLAN', 'SYSD', 'RXA4', 'PAYBATCH', 'BATCH',    'BATCH', 'IN-SQL-CALL', 'ALLIED', 'DBPAY.SPPAY1',   'GRPA', 'RXA4', 'GRPA', '1261208094540010', 'PAYJOB09', '00:59:59.000', '00:59:59.000', '00:59:59.000', 'PAYPKG01', 'PAYROLL_COLL',   'PAYBATCH',                     'PAYPKG01', 'PAYROLL_COLL',   '0000',  999999,  9999,  9999,   999,  9,   99,    9, 24999, 399, 1111, 14, 19,  333, 0, 1);

-- Coupling-facility structures each member is connected to: group buffer
-- pools (STRUCTT CACHE) with reads, read hits and cross-invalidations, and the
-- lock and shared communications structures (LOCK, LIST). STRUCTS is the size
-- in kilobytes, CONNECT the number of connectors.
INSERT INTO "VXR.LGB_POOL"
  (ORIGINNODE, RD_COUNT, RD_HIT_CNT, RD_HIT_PCT, XI_COUNT, XI_RATE, DIRENT, DATAPG, STRUCTS, CONNECT, SMFID, STRUCTN, DSGROUP, TIMESTAMP, STRUCTST, STRUCTT, IDNAME)
VALUES
  ('WNRX4:RXA1:SYSA',  8400, 6300, 75, 1200,  4, 96000, 19200, 65536, 3, 'SYSA', 'GRPA_GBP0',   'GRPA', '1261208104115010', 'ACTIVE', 'CACHE', 'GRPA'),
  ('WNRX4:RXA1:SYSA',  2940, 2010, 68,  420,  1, 48000,  9600, 32768, 2, 'SYSA', 'GRPA_GBP1',   'GRPA', '1261208104115020', 'ACTIVE', 'CACHE', 'GRPA'),
  ('WNRX4:RXA1:SYSA',     0,    0,  0,    0,  0,     0,     0, 32768, 3, 'SYSA', 'GRPA_LOCK1',  'GRPA', '1261208104115030', 'ACTIVE', 'LOCK',  'GRPA'),
  ('WNRX4:RXA1:SYSA',     0,    0,  0,    0,  0,     0,     0, 16384, 3, 'SYSA', 'GRPA_SCA',    'GRPA', '1261208104115040', 'ACTIVE', 'LIST',  'GRPA'),
  ('WNRX4:RXA2:SYSB', 11760, 8900, 75, 1680,  5, 96000, 19200, 65536, 3, 'SYSB', 'GRPA_GBP0',   'GRPA', '1261208104112010', 'ACTIVE', 'CACHE', 'GRPA'),
  ('WNRX4:RXA2:SYSB',   840,  610, 72,  120,  0, 12000,  2400, 16384, 1, 'SYSB', 'GRPA_GBP8K0', 'GRPA', '1261208104112020', 'ACTIVE', 'CACHE', 'GRPA'),
  ('WNRX4:RXA3:SYSC',  5040, 3700, 73,  720,  2, 96000, 19200, 65536, 3, 'SYSC', 'GRPA_GBP0',   'GRPA', '1261208104118010', 'ACTIVE', 'CACHE', 'GRPA'),
  ('WNRX4:RXA3:SYSC',  4200, 2950, 70,  600,  2, 48000,  9600, 32768, 2, 'SYSC', 'GRPA_GBP1',   'GRPA', '1261208104118020', 'ACTIVE', 'CACHE', 'GRPA'),
  ('WNRX4:RXB1:SYSA',  2100, 1650, 78,  300,  1, 24000,  4800, 16384, 2, 'SYSA', 'GRPB_GBP0',   'GRPB', '1261208104121010', 'ACTIVE', 'CACHE', 'GRPB'),
  ('WNRX4:RXB1:SYSA',     0,    0,  0,    0,  0,     0,     0,  8192, 1, 'SYSA', 'GRPB_LOCK1',  'GRPB', '1261208104121020', 'ACTIVE', 'LOCK',  'GRPB'),
  ('WNRX4:RXB2:SYSC',  1680, 1300, 77,  240,  0, 24000,  4800, 16384, 2, 'SYSC', 'GRPB_GBP0',   'GRPB', '1261208104119010', 'ACTIVE', 'CACHE', 'GRPB'),
  ('WNRX4:RXA4:SYSD', 99999, 9999,  9, 9999, 33, 96000, 19200, 65536, 3, 'SYSD', 'GRPA_GBP0',   'GRPA', '1261208094540010', 'ACTIVE', 'CACHE', 'GRPA');

-- Group buffer pool connections: every member lists each system connected to
-- each structure it uses, so one connection comes from several members.
-- DSGROUPE names the member connected from that system. RXB2's subsystem has
-- stopped, so its connection to GRPB_GBP0 is failed-persistent.
INSERT INTO "VXR.LGBP_CONN"
  (ORIGINNODE, TIMESTAMP, SYSID, CONSTAT, STRUCTN, DSGROUPN, DSGROUPE, CF_NAME, JOBNAME, RX4ID, IDNAME)
VALUES
  ('WNRX4:RXA1:SYSA', '1261208104215010', 'SYSA', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA1', 'CF01', 'RXA1DBM1', 'RXA1', 'GRPA'),
  ('WNRX4:RXA1:SYSA', '1261208104215020', 'SYSB', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA2', 'CF01', 'RXA2DBM1', 'RXA1', 'GRPA'),
  ('WNRX4:RXA1:SYSA', '1261208104215030', 'SYSC', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA3', 'CF01', 'RXA3DBM1', 'RXA1', 'GRPA'),
  ('WNRX4:RXA1:SYSA', '1261208104215010', 'SYSA', 'ACTIVE',   'GRPA_GBP1',   'GRPA', 'RXA1', 'CF02', 'RXA1DBM1', 'RXA1', 'GRPA'),
  ('WNRX4:RXA1:SYSA', '1261208104215020', 'SYSC', 'ACTIVE',   'GRPA_GBP1',   'GRPA', 'RXA3', 'CF02', 'RXA3DBM1', 'RXA1', 'GRPA'),
  ('WNRX4:RXA2:SYSB', '1261208104212010', 'SYSA', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA1', 'CF01', 'RXA1DBM1', 'RXA2', 'GRPA'),
  ('WNRX4:RXA2:SYSB', '1261208104212020', 'SYSB', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA2', 'CF01', 'RXA2DBM1', 'RXA2', 'GRPA'),
  ('WNRX4:RXA2:SYSB', '1261208104212030', 'SYSC', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA3', 'CF01', 'RXA3DBM1', 'RXA2', 'GRPA'),
  ('WNRX4:RXA2:SYSB', '1261208104212010', 'SYSB', 'ACTIVE',   'GRPA_GBP8K0', 'GRPA', 'RXA2', 'CF02', 'RXA2DBM1', 'RXA2', 'GRPA'),
  ('WNRX4:RXA3:SYSC', '1261208104218010', 'SYSA', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA1', 'CF01', 'RXA1DBM1', 'RXA3', 'GRPA'),
  ('WNRX4:RXA3:SYSC', '1261208104218020', 'SYSB', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA2', 'CF01', 'RXA2DBM1', 'RXA3', 'GRPA'),
  ('WNRX4:RXA3:SYSC', '1261208104218030', 'SYSC', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA3', 'CF01', 'RXA3DBM1', 'RXA3', 'GRPA'),
  ('WNRX4:RXA3:SYSC', '1261208104218010', 'SYSA', 'ACTIVE',   'GRPA_GBP1',   'GRPA', 'RXA1', 'CF02', 'RXA1DBM1', 'RXA3', 'GRPA'),
  ('WNRX4:RXA3:SYSC', '1261208104218020', 'SYSC', 'ACTIVE',   'GRPA_GBP1',   'GRPA', 'RXA3', 'CF02', 'RXA3DBM1', 'RXA3', 'GRPA'),
  ('WNRX4:RXB1:SYSA', '1261208104221010', 'SYSA', 'ACTIVE',   'GRPB_GBP0',   'GRPB', 'RXB1', 'CF01', 'RXB1DBM1', 'RXB1', 'GRPB'),
  ('WNRX4:RXB1:SYSA', '1261208104221020', 'SYSC', 'FAILPERS', 'GRPB_GBP0',   'GRPB', 'RXB2', 'CF01', 'RXB2DBM1', 'RXB1', 'GRPB'),
  ('WNRX4:RXB2:SYSC', '1261208104219010', 'SYSA', 'ACTIVE',   'GRPB_GBP0',   'GRPB', 'RXB1', 'CF01', 'RXB1DBM1', 'RXB2', 'GRPB'),
  ('WNRX4:RXB2:SYSC', '1261208104219020', 'SYSC', 'FAILPERS', 'GRPB_GBP0',   'GRPB', 'RXB2', 'CF01', 'RXB2DBM1', 'RXB2', 'GRPB'),
  ('WNRX4:RXA4:SYSD', '1261208094540010', 'SYSA', 'ACTIVE',   'GRPA_GBP0',   'GRPA', 'RXA1', 'CF09', 'RXA1DBM1', 'RXA4', 'GRPA');

-- Tables of the host data server's store.
--
-- Each table is named by a quoted identifier that carries schema and name
-- ("VXR.LGOAACT"), as the SQL texts of the modules name them. CHAR(n) columns
-- are delivered blank-padded to n bytes; INTEGER columns are delivered as
-- signed 32-bit integers. Widths are those of the fields the columns fill in
-- the modules' rows. Defaults keep rows complete when an insert names only
-- some columns (an older agent reports no extended columns).

-- Node-status table: one row per managed node the host knows (member agents,
-- thru nodes, group views), with its online state. Member discovery reads the
-- online agents from it; the heartbeat inserts or replaces group-view rows;
-- a request routed AT a node is accepted only when that node is listed online.
CREATE TABLE "Q7SRV.INODESTS" (
  NODE        CHAR(32) DEFAULT '',
  THRUNODE    CHAR(32) DEFAULT '',
  ORIGINNODE  CHAR(32) DEFAULT '',
  NODETYPE    CHAR(1)  DEFAULT '',
  Q7ONLINE    CHAR(1)  DEFAULT '',
  PRODUCT     CHAR(2)  DEFAULT '',
  VERSION     CHAR(8)  DEFAULT '',
  HOSTCODE    CHAR(2)  DEFAULT '',
  AFFINITIES  CHAR(43) DEFAULT '',
  HOSTLEVEL   CHAR(2)  DEFAULT ''
);

-- Object activity: one row per member, database and space, with getpage and
-- I/O counts, their rates, the member's own shares and the getpages per read.
CREATE TABLE "VXR.LGOAACT" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  JTPDB       CHAR(8)  DEFAULT '',
  JTPSP       CHAR(8)  DEFAULT '',
  JTPGETP     INTEGER  DEFAULT 0,
  JTPSYNR     INTEGER  DEFAULT 0,
  JTPPREF     INTEGER  DEFAULT 0,
  JTPASYW     INTEGER  DEFAULT 0,
  JTPOTHW     INTEGER  DEFAULT 0,
  JTPPCGP     INTEGER  DEFAULT 0,
  JTPPCIO     INTEGER  DEFAULT 0,
  JTPGPR      INTEGER  DEFAULT 0,
  JTPSYR      INTEGER  DEFAULT 0,
  JTPPRR      INTEGER  DEFAULT 0,
  JTPASR      INTEGER  DEFAULT 0,
  JTPOTR      INTEGER  DEFAULT 0,
  JTPRIOR     INTEGER  DEFAULT 0
);

-- Object activity by thread: one row per member, database, space and thread
-- (plan, authorization id, correlation id), with counts, rates and shares.
CREATE TABLE "VXR.LGOATHA" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  JT7DBNM     CHAR(8)  DEFAULT '',
  JT7SPNM     CHAR(8)  DEFAULT '',
  JT7PLNM     CHAR(8)  DEFAULT '',
  JT7AUID     CHAR(8)  DEFAULT '',
  JT7CRID     CHAR(12) DEFAULT '',
  JT7GETP     INTEGER  DEFAULT 0,
  JT7SYNR     INTEGER  DEFAULT 0,
  JT7SPRE     INTEGER  DEFAULT 0,
  JT7LPRE     INTEGER  DEFAULT 0,
  JT7DPRE     INTEGER  DEFAULT 0,
  JT7ASYW     INTEGER  DEFAULT 0,
  JT7OTHW     INTEGER  DEFAULT 0,
  JT7PCGP     INTEGER  DEFAULT 0,
  JT7PCIO     INTEGER  DEFAULT 0,
  JT7GPR      INTEGER  DEFAULT 0,
  JT7SYR      INTEGER  DEFAULT 0,
  JT7SPR      INTEGER  DEFAULT 0,
  JT7LPR      INTEGER  DEFAULT 0,
  JT7DPR      INTEGER  DEFAULT 0,
  JT7ASR      INTEGER  DEFAULT 0,
  JT7OTR      INTEGER  DEFAULT 0,
  JT7RIOR     INTEGER  DEFAULT 0
);

-- Member status: one row per member and subsystem or data sharing group it
-- knows (IDTYPE "DSGRP" for a group), with the member's counts and its
-- object-activity collection state.
CREATE TABLE "VXR.XR_SY_EXC" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIME        CHAR(16) DEFAULT '',
  IDSTATUS    CHAR(8)  DEFAULT '',
  IDTYPE      CHAR(6)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  SMFID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  RX4COUNT    INTEGER  DEFAULT 0,
  SYS_TMAX    INTEGER  DEFAULT 0,
  LOCKCNT     INTEGER  DEFAULT 0,
  GBPCCNT     INTEGER  DEFAULT 0,
  OADBCNT     INTEGER  DEFAULT 0,
  OASTATUS    CHAR(4)  DEFAULT ''
);

-- Object spaces: one row per member, database and space, with the space type,
-- buffer pool, and its volume, data-set and extent figures.
CREATE TABLE "VXR.LOBJECTS" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  JAPDB       CHAR(8)  DEFAULT '',
  JAPSPN      CHAR(8)  DEFAULT '',
  JAPTYPE     CHAR(4)  DEFAULT '',
  JAPBP       INTEGER  DEFAULT 0,
  JAPVOLS     INTEGER  DEFAULT 0,
  JAPDSNS     INTEGER  DEFAULT 0,
  JAPEXTS     INTEGER  DEFAULT 0,
  JAPEXTR     INTEGER  DEFAULT 0,
  JAPMEXT     INTEGER  DEFAULT 0
);

-- Group buffer pool statistics: one row per member and group buffer pool
-- structure, with 31 counters.
CREATE TABLE "VXR.LGBPSTAT" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  STRUCTN     CHAR(16) DEFAULT '',
  NUMRX4      INTEGER  DEFAULT 0,
  XIREAD      INTEGER  DEFAULT 0,
  XIREADN     INTEGER  DEFAULT 0,
  GBPREAD     INTEGER  DEFAULT 0,
  GBPREADN    INTEGER  DEFAULT 0,
  CHGWRITE    INTEGER  DEFAULT 0,
  CLNWRITE    INTEGER  DEFAULT 0,
  PFREAD      INTEGER  DEFAULT 0,
  PFREADN     INTEGER  DEFAULT 0,
  RDFAILS     INTEGER  DEFAULT 0,
  WRFAILS     INTEGER  DEFAULT 0,
  SYSWRCHN    INTEGER  DEFAULT 0,
  SYSWRCLN    INTEGER  DEFAULT 0,
  COCLASST    INTEGER  DEFAULT 0,
  COGBPT      INTEGER  DEFAULT 0,
  COPAGES     INTEGER  DEFAULT 0,
  COENGNA     INTEGER  DEFAULT 0,
  WRENGNA     INTEGER  DEFAULT 0,
  RPLREQ      INTEGER  DEFAULT 0,
  RPLRCHN     INTEGER  DEFAULT 0,
  RPLRCLN     INTEGER  DEFAULT 0,
  NUMCHECK    INTEGER  DEFAULT 0,
  NUMREBLD    INTEGER  DEFAULT 0,
  STGSTAT     INTEGER  DEFAULT 0,
  UNLCO       INTEGER  DEFAULT 0,
  READCOC     INTEGER  DEFAULT 0,
  READCOST    INTEGER  DEFAULT 0,
  DELNAME     INTEGER  DEFAULT 0,
  RDIRINFO    INTEGER  DEFAULT 0,
  UNREGP      INTEGER  DEFAULT 0,
  REGPAGE     INTEGER  DEFAULT 0
);

-- Coupling-facility lock structure: one row per member and lock structure,
-- with the structure's attributes as the member sees them and the member's
-- lock request, suspension and contention counters.
CREATE TABLE "VXR.LVXR_CF" (
  CONNECT     INTEGER  DEFAULT 0,
  DSGROUP     CHAR(8)  DEFAULT '',
  R4CPLOK     INTEGER  DEFAULT 0,
  R4FCONT     INTEGER  DEFAULT 0,
  R4GCONT     INTEGER  DEFAULT 0,
  R4PLOCK     INTEGER  DEFAULT 0,
  R4SUSFAL    INTEGER  DEFAULT 0,
  R4SUSIRL    INTEGER  DEFAULT 0,
  R4SUSXES    INTEGER  DEFAULT 0,
  R4UPLOK     INTEGER  DEFAULT 0,
  FALSECO     INTEGER  DEFAULT 0,
  FALSECR     INTEGER  DEFAULT 0,
  GLOBALC     INTEGER  DEFAULT 0,
  GLOBALR     INTEGER  DEFAULT 0,
  IDNAME      CHAR(8)  DEFAULT '',
  LOCKA       INTEGER  DEFAULT 0,
  LOCKP       INTEGER  DEFAULT 0,
  LOCKU       INTEGER  DEFAULT 0,
  ORIGINNODE  CHAR(32) DEFAULT '',
  RECORDA     INTEGER  DEFAULT 0,
  RECORDP     INTEGER  DEFAULT 0,
  RECORDU     INTEGER  DEFAULT 0,
  STRUCTN     CHAR(16) DEFAULT '',
  STRUCTP     INTEGER  DEFAULT 0,
  STRUCTS     INTEGER  DEFAULT 0,
  STRUCTST    CHAR(8)  DEFAULT '',
  STRUCTT     CHAR(5)  DEFAULT '',
  STRUCTU     INTEGER  DEFAULT 0,
  TIMESTAMP   CHAR(16) DEFAULT ''
);

-- Volume use by database: one row per member, volume, database and space,
-- with data sets, extents, volume use and I/O counts and rates.
CREATE TABLE "VXR.LGOAVDB" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  JVPVOL      CHAR(6)  DEFAULT '',
  JVPDB       CHAR(8)  DEFAULT '',
  JVPSP       CHAR(8)  DEFAULT '',
  JVPDSNS     INTEGER  DEFAULT 0,
  JVPEXTS     INTEGER  DEFAULT 0,
  JVPVUSE     INTEGER  DEFAULT 0,
  JVPTIO      INTEGER  DEFAULT 0,
  JVPRIO      INTEGER  DEFAULT 0,
  JVPWIO      INTEGER  DEFAULT 0,
  JVPTIOR     INTEGER  DEFAULT 0,
  JVPRIOR     INTEGER  DEFAULT 0,
  JVPWIOR     INTEGER  DEFAULT 0
);

-- Volumes: one row per member and volume it uses, with utilization, response
-- time, volume and database I/O, and the member's data sets, extents and use.
CREATE TABLE "VXR.LGOAVOL" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  JVSVOLN     CHAR(6)  DEFAULT '',
  JVSVUTIL    INTEGER  DEFAULT 0,
  JVSVRESP    INTEGER  DEFAULT 0,
  JVSTIO      INTEGER  DEFAULT 0,
  JVSDBIO     INTEGER  DEFAULT 0,
  JVSTIOR     INTEGER  DEFAULT 0,
  JVSDBIR     INTEGER  DEFAULT 0,
  JVSDSNS     INTEGER  DEFAULT 0,
  JVSEXTS     INTEGER  DEFAULT 0,
  JVSVUSE     INTEGER  DEFAULT 0
);

-- Thread activity by volume: one row per member, volume and thread (plan,
-- authorization id, correlation id), with volume use and I/O counts and rates.
CREATE TABLE "VXR.LGOAVTA" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(4)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  JVTVOL      CHAR(6)  DEFAULT '',
  JVTPLNM     CHAR(8)  DEFAULT '',
  JVTAUID     CHAR(8)  DEFAULT '',
  JVTCRID     CHAR(14) DEFAULT '',
  JVTVUSE     INTEGER  DEFAULT 0,
  JVTTIO      INTEGER  DEFAULT 0,
  JVTRIO      INTEGER  DEFAULT 0,
  JVTWIO      INTEGER  DEFAULT 0,
  JVTTIOR     INTEGER  DEFAULT 0,
  JVTRIOR     INTEGER  DEFAULT 0,
  JVTWIOR     INTEGER  DEFAULT 0
);

-- Lock conflicts: one row per member and thread involved in a lock conflict.
-- LK_RESOURC names the resource in one text ("DB=... PS=... PT=..."); agents
-- above 04.01.00 also report it split into types and names, and the long
-- authorization id (the columns from UAUTHID on).
CREATE TABLE "VXR.RX4LKCONF" (
  ORIGINNODE  CHAR(32)  DEFAULT '',
  LK_ET       CHAR(4)   DEFAULT '',
  PLAN_NAME   CHAR(8)   DEFAULT '',
  SMFID       CHAR(4)   DEFAULT '',
  RX4ID       CHAR(4)   DEFAULT '',
  AUTHID      CHAR(8)   DEFAULT '',
  CONNID      CHAR(8)   DEFAULT '',
  CONNTYPE    CHAR(8)   DEFAULT '',
  TH_STATUS   CHAR(12)  DEFAULT '',
  LK_RESOURC  CHAR(50)  DEFAULT '',
  LK_LEVEL    CHAR(8)   DEFAULT '',
  LK_STATUS   CHAR(8)   DEFAULT '',
  SUBSYS      CHAR(4)   DEFAULT '',
  TH_TYPE     CHAR(8)   DEFAULT '',
  LK_TYPE     CHAR(8)   DEFAULT '',
  LK_TOKEN    CHAR(16)  DEFAULT '',
  IDNAME      CHAR(8)   DEFAULT '',
  TIMESTAMP   CHAR(16)  DEFAULT '',
  CORRID      CHAR(12)  DEFAULT '',
  DISPET      CHAR(12)  DEFAULT '',
  UAUTHID     CHAR(128) DEFAULT '',
  RESTYPE1    CHAR(2)   DEFAULT '',
  RESTYPE2    CHAR(2)   DEFAULT '',
  RESTYPE3    CHAR(2)   DEFAULT '',
  RESTYPE4    CHAR(2)   DEFAULT '',
  URESNAME1   CHAR(128) DEFAULT '',
  URESNAME2   CHAR(128) DEFAULT '',
  RESNAME3    CHAR(32)  DEFAULT '',
  RESNAME4    CHAR(32)  DEFAULT ''
);

-- Threads and thread exceptions: one row per member and thread, with its
-- identification, times, getpage and prefetch counters, and (agents above
-- 04.01.00) the long authorization id, package and collection and EX_IDBT.
CREATE TABLE "VXR.XR_TH_EXC" (
  ORIGINNODE  CHAR(32)  DEFAULT '',
  EX_ETIM     CHAR(4)   DEFAULT '',
  THD_CPU     CHAR(4)   DEFAULT '',
  THD_WAIT    CHAR(4)   DEFAULT '',
  EX_PLAN     CHAR(8)   DEFAULT '',
  EX_QNSID    CHAR(4)   DEFAULT '',
  EX_RX4ID    CHAR(4)   DEFAULT '',
  EX_AUTHID   CHAR(8)   DEFAULT '',
  EX_CONNID   CHAR(8)   DEFAULT '',
  TH_CONNTYP  CHAR(8)   DEFAULT '',
  THREADSTAT  CHAR(12)  DEFAULT '',
  TH_TYPE     CHAR(8)   DEFAULT '',
  TH_SPN      CHAR(18)  DEFAULT '',
  TH_GROUPN   CHAR(8)   DEFAULT '',
  TH_GMN      CHAR(8)   DEFAULT '',
  IDNAME      CHAR(8)   DEFAULT '',
  EX_TIME     CHAR(16)  DEFAULT '',
  EX_CORRID   CHAR(12)  DEFAULT '',
  DISP_ET     CHAR(12)  DEFAULT '',
  DISP_CPU    CHAR(12)  DEFAULT '',
  DISP_WAIT   CHAR(12)  DEFAULT '',
  EX_PKGN     CHAR(8)   DEFAULT '',
  EX_COLLID   CHAR(18)  DEFAULT '',
  UEX_AUTHID  CHAR(128) DEFAULT '',
  UTDIDPACK   CHAR(128) DEFAULT '',
  UTDIDPCOL   CHAR(128) DEFAULT '',
  EX_IDBT     CHAR(4)   DEFAULT '',
  EX_GETP     INTEGER   DEFAULT 0,
  EX_UPDCNT   INTEGER   DEFAULT 0,
  EX_SRDCNT   INTEGER   DEFAULT 0,
  EX_PREF     INTEGER   DEFAULT 0,
  IMMWIO      INTEGER   DEFAULT 0,
  LISTPREF    INTEGER   DEFAULT 0,
  DYNPREF     INTEGER   DEFAULT 0,
  SUCHPR      INTEGER   DEFAULT 0,
  SUCHPW      INTEGER   DEFAULT 0,
  UNSUCHPR    INTEGER   DEFAULT 0,
  UNSUCHPW    INTEGER   DEFAULT 0,
  UNGPOP      INTEGER   DEFAULT 0,
  APAGER      INTEGER   DEFAULT 0,
  PHPMOVE     INTEGER   DEFAULT 0,
  TYPE_IND    INTEGER   DEFAULT 0
);

-- Coupling-facility structures a member is connected to: one row per member
-- and structure (STRUCTT "CACHE" for group buffer pools, also "LOCK" and
-- "LIST"), with read, cross-invalidation and size measures.
CREATE TABLE "VXR.LGB_POOL" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  RD_COUNT    INTEGER  DEFAULT 0,
  RD_HIT_CNT  INTEGER  DEFAULT 0,
  RD_HIT_PCT  INTEGER  DEFAULT 0,
  XI_COUNT    INTEGER  DEFAULT 0,
  XI_RATE     INTEGER  DEFAULT 0,
  DIRENT      INTEGER  DEFAULT 0,
  DATAPG      INTEGER  DEFAULT 0,
  STRUCTS     INTEGER  DEFAULT 0,
  CONNECT     INTEGER  DEFAULT 0,
  SMFID       CHAR(4)  DEFAULT '',
  STRUCTN     CHAR(16) DEFAULT '',
  DSGROUP     CHAR(8)  DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  STRUCTST    CHAR(8)  DEFAULT '',
  STRUCTT     CHAR(5)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT ''
);

-- Group buffer pool connections: one row per member, structure and connected
-- system, as the member sees the connection.
CREATE TABLE "VXR.LGBP_CONN" (
  ORIGINNODE  CHAR(32) DEFAULT '',
  TIMESTAMP   CHAR(16) DEFAULT '',
  SYSID       CHAR(8)  DEFAULT '',
  CONSTAT     CHAR(8)  DEFAULT '',
  STRUCTN     CHAR(16) DEFAULT '',
  DSGROUPN    CHAR(8)  DEFAULT '',
  DSGROUPE    CHAR(8)  DEFAULT '',
  CF_NAME     CHAR(16) DEFAULT '',
  JOBNAME     CHAR(8)  DEFAULT '',
  RX4ID       CHAR(4)  DEFAULT '',
  IDNAME      CHAR(8)  DEFAULT ''
);

-- Keys of the CHAR comparison, so that a member's rows (ORIGINNODE) and a
-- node's routing row (NODE) are found by a lookup rather than a scan. The
-- expression is the one the store compares: the stored bytes cut to the
-- column width, trailing blanks dropped, NULL and empty alike. Built-in functions
-- only, so that any SQLite client can read and write the file.
CREATE INDEX "Q7SRV.INODESTS:NODE" ON "Q7SRV.INODESTS" (ifnull(rtrim(substr(CAST(NODE AS BLOB), 1, 32)), ''));
CREATE INDEX "Q7SRV.INODESTS:ORIGINNODE" ON "Q7SRV.INODESTS" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGOAACT:ORIGINNODE" ON "VXR.LGOAACT" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGOATHA:ORIGINNODE" ON "VXR.LGOATHA" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.XR_SY_EXC:ORIGINNODE" ON "VXR.XR_SY_EXC" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LOBJECTS:ORIGINNODE" ON "VXR.LOBJECTS" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGBPSTAT:ORIGINNODE" ON "VXR.LGBPSTAT" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LVXR_CF:ORIGINNODE" ON "VXR.LVXR_CF" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGOAVDB:ORIGINNODE" ON "VXR.LGOAVDB" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGOAVOL:ORIGINNODE" ON "VXR.LGOAVOL" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGOAVTA:ORIGINNODE" ON "VXR.LGOAVTA" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.RX4LKCONF:ORIGINNODE" ON "VXR.RX4LKCONF" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.XR_TH_EXC:ORIGINNODE" ON "VXR.XR_TH_EXC" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGB_POOL:ORIGINNODE" ON "VXR.LGB_POOL" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.LGBP_CONN:ORIGINNODE" ON "VXR.LGBP_CONN" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));

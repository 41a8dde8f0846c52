#!/usr/bin/env bash
# Every table of the catalog on a generated group, side by side with SQLite:
# `vxrhost query TABLE --format csv` against the bare `sqlite3` scan of the
# same columns of its base table and, for the tables that merge, against the
# GROUP BY a user would write for the same merged answer. Prints one markdown
# row per table and key shape: medians of paired runs (ours, scan, GROUP BY
# back to back, RUNS times) of the elapsed time and of the CPU time (user and
# system: on a shared, loaded machine the steadier of the two), peak resident
# memory, and the rows' own size (the member rows read x the table's row
# size). The ratios are of elapsed times (what a user waits) and of CPU times
# (ours includes the member SQL's reader thread).
#
#   bench/compare.sh DISTINCT.db SHARED.db [RUNS]
#
# The databases come from scripts/gen-group (the second with --shared).
# VXRHOST names the vxrhost to measure (default build-release/cli/vxrhost);
# TABLES limits the run to some tables (space separated).
set -euo pipefail
[[ $# -ge 2 ]] || { echo "usage: compare.sh DISTINCT.db SHARED.db [RUNS]" >&2; exit 2; }
source "$(dirname "${BASH_SOURCE[0]}")/bench-lib.sh"
distinct="$1" shared="$2" runs="${3:-3}"

# TABLE|base table|columns the module selects|GROUP BY for the same merged answer|filter
specs=(
  "GOBJECTA|VXR.LOBJECTS|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JAPDB,JAPSPN,JAPTYPE,JAPBP,JAPVOLS,JAPDSNS,JAPEXTS,JAPEXTR,JAPMEXT|SELECT DSGROUP,JAPDB,min(TIMESTAMP),count(DISTINCT JAPSPN),count(DISTINCT CASE WHEN JAPTYPE IN ('INDX','PTIX') THEN JAPSPN END),count(DISTINCT RX4ID),sum(JAPVOLS),sum(JAPDSNS),sum(JAPEXTS),max(JAPMEXT) FROM \"VXR.LOBJECTS\" GROUP BY DSGROUP,JAPDB|"
  "GROUPBPSTATS|VXR.LGBPSTAT|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,DSGROUP,IDNAME,STRUCTN,NUMRX4,XIREAD,XIREADN,GBPREAD,GBPREADN,CHGWRITE,CLNWRITE,PFREAD,PFREADN,RDFAILS,WRFAILS,SYSWRCHN,SYSWRCLN,COCLASST,COGBPT,COPAGES,COENGNA,WRENGNA,RPLREQ,RPLRCHN,RPLRCLN,NUMCHECK,NUMREBLD,STGSTAT,UNLCO,READCOC,READCOST,DELNAME,RDIRINFO,UNREGP,REGPAGE|SELECT DSGROUP,STRUCTN,min(TIMESTAMP),SYSID,RX4ID,IDNAME,sum(NUMRX4),sum(XIREAD),sum(XIREADN),sum(GBPREAD),sum(GBPREADN),sum(CHGWRITE),sum(CLNWRITE),sum(PFREAD),sum(PFREADN),sum(RDFAILS),sum(WRFAILS),sum(SYSWRCHN),sum(SYSWRCLN),sum(COCLASST),sum(COGBPT),sum(COPAGES),sum(COENGNA),sum(WRENGNA),sum(RPLREQ),sum(RPLRCHN),sum(RPLRCLN),sum(NUMCHECK),sum(NUMREBLD),sum(STGSTAT),sum(UNLCO),sum(READCOC),sum(READCOST),sum(DELNAME),sum(RDIRINFO),sum(UNREGP),sum(REGPAGE) FROM \"VXR.LGBPSTAT\" GROUP BY DSGROUP,STRUCTN|"
  "GROUPBUFPOOL|VXR.LGB_POOL|ORIGINNODE,RD_COUNT,RD_HIT_CNT,RD_HIT_PCT,XI_COUNT,XI_RATE,DIRENT,DATAPG,STRUCTS,CONNECT,SMFID,STRUCTN,DSGROUP,TIMESTAMP,STRUCTST,STRUCTT,IDNAME|SELECT DSGROUP,STRUCTN,min(TIMESTAMP),RD_COUNT,RD_HIT_CNT,RD_HIT_PCT,XI_COUNT,XI_RATE,DIRENT,DATAPG,STRUCTS,CONNECT,SMFID,STRUCTST,STRUCTT,IDNAME FROM \"VXR.LGB_POOL\" GROUP BY DSGROUP,STRUCTN|"
  "GROUPBUFPOOLCONN|VXR.LGBP_CONN|ORIGINNODE,TIMESTAMP,SYSID,CONSTAT,STRUCTN,DSGROUPN,DSGROUPE,CF_NAME,JOBNAME,RX4ID,IDNAME|SELECT DSGROUPN,STRUCTN,SYSID,min(TIMESTAMP),CONSTAT,DSGROUPE,CF_NAME,JOBNAME,RX4ID,IDNAME FROM \"VXR.LGBP_CONN\" GROUP BY DSGROUPN,STRUCTN,SYSID|"
  "GROUPLOCKCONF|VXR.RX4LKCONF|ORIGINNODE,LK_ET,PLAN_NAME,SMFID,RX4ID,AUTHID,CONNID,CONNTYPE,TH_STATUS,LK_RESOURC,LK_LEVEL,LK_STATUS,SUBSYS,TH_TYPE,LK_TYPE,LK_TOKEN,IDNAME,TIMESTAMP,CORRID,DISPET,UAUTHID,RESTYPE1,RESTYPE2,RESTYPE3,RESTYPE4,URESNAME1,URESNAME2,RESNAME3,RESNAME4||"
  "GROUPLOCKSTRUCT|VXR.LVXR_CF|CONNECT,DSGROUP,R4CPLOK,R4FCONT,R4GCONT,R4PLOCK,R4SUSFAL,R4SUSIRL,R4SUSXES,R4UPLOK,FALSECO,FALSECR,GLOBALC,GLOBALR,IDNAME,LOCKA,LOCKP,LOCKU,ORIGINNODE,RECORDA,RECORDP,RECORDU,STRUCTN,STRUCTP,STRUCTS,STRUCTST,STRUCTT,STRUCTU,TIMESTAMP|SELECT DSGROUP,STRUCTN,min(TIMESTAMP),CONNECT,sum(R4PLOCK),sum(R4CPLOK),sum(R4UPLOK),sum(R4SUSIRL),sum(R4SUSXES),sum(R4SUSFAL),R4FCONT,R4GCONT,FALSECO,FALSECR,GLOBALC,GLOBALR,IDNAME,LOCKA,LOCKP,LOCKU,RECORDA,RECORDP,RECORDU,STRUCTP,STRUCTS,STRUCTST,STRUCTT,STRUCTU FROM \"VXR.LVXR_CF\" GROUP BY DSGROUP,STRUCTN|"
  "GROUPOBJACT|VXR.LGOAACT|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR,JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR||"
  "GROUPOBJACT|VXR.LGOAACT|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR,JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR|SELECT DSGROUP,JTPDB,min(TIMESTAMP),count(*),count(DISTINCT RX4ID),sum(JTPGETP),sum(JTPSYNR),sum(JTPPREF),sum(JTPASYW),sum(JTPOTHW),sum(JTPPCGP),sum(JTPPCIO),sum(JTPGPR),sum(JTPSYR),sum(JTPPRR),sum(JTPASR),sum(JTPOTR),sum(JTPRIOR) FROM \"VXR.LGOAACT\" WHERE IDNAME = 'GRPA' GROUP BY DSGROUP,JTPDB|IDNAME=GRPA"
  "GROUPOBJSPACE|VXR.LOBJECTS|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JAPDB,JAPSPN,JAPTYPE,JAPBP,JAPVOLS,JAPDSNS,JAPEXTS,JAPEXTR,JAPMEXT|SELECT DSGROUP,JAPDB,JAPSPN,min(TIMESTAMP),count(*),max(JAPMEXT),SYSID,RX4ID,IDNAME,JAPTYPE,JAPBP,JAPVOLS,JAPDSNS,JAPEXTS,JAPEXTR FROM \"VXR.LOBJECTS\" GROUP BY DSGROUP,JAPDB,JAPSPN|"
  "GROUPTHRDACT|VXR.LGOATHA|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JT7DBNM,JT7SPNM,JT7PLNM,JT7AUID,JT7CRID,JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW,JT7PCGP,JT7PCIO,JT7GPR,JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,JT7RIOR|SELECT DSGROUP,JT7DBNM,min(TIMESTAMP),count(*),sum(JT7GETP),sum(JT7SYNR),sum(JT7SPRE),sum(JT7LPRE),sum(JT7DPRE),sum(JT7ASYW),sum(JT7OTHW),sum(JT7PCGP),sum(JT7PCIO),sum(JT7GPR),sum(JT7SYR),sum(JT7SPR),sum(JT7LPR),sum(JT7DPR),sum(JT7ASR),sum(JT7OTR),sum(JT7RIOR) FROM \"VXR.LGOATHA\" GROUP BY DSGROUP,JT7DBNM|"
  "GROUPTHRDEXC|VXR.XR_TH_EXC|ORIGINNODE,EX_TIME,EX_QNSID,IDNAME,EX_RX4ID,TH_GROUPN,EX_PLAN,EX_CORRID,EX_GETP,EX_UPDCNT,EX_SRDCNT,EX_PREF,IMMWIO,LISTPREF,DYNPREF,SUCHPR,SUCHPW,UNSUCHPR,UNSUCHPW,UNGPOP,APAGER,PHPMOVE,TYPE_IND||"
  "GROUPTHREADS|VXR.XR_TH_EXC|ORIGINNODE,EX_ETIM,THD_CPU,THD_WAIT,EX_PLAN,EX_QNSID,EX_RX4ID,EX_AUTHID,EX_CONNID,TH_CONNTYP,THREADSTAT,TH_TYPE,TH_SPN,TH_GROUPN,TH_GMN,IDNAME,EX_TIME,EX_CORRID,DISP_ET,DISP_CPU,DISP_WAIT,EX_PKGN,EX_COLLID,UEX_AUTHID,UTDIDPACK,UTDIDPCOL,EX_IDBT||"
  "GROUPVOLDB|VXR.LGOAVDB|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVPVOL,JVPDB,JVPSP,JVPDSNS,JVPEXTS,JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR||"
  "GROUPVOLTHRD|VXR.LGOAVTA|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVTVOL,JVTPLNM,JVTAUID,JVTCRID,JVTVUSE,JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR|SELECT DSGROUP,JVTVOL,min(TIMESTAMP),count(*),JVTPLNM,JVTAUID,JVTCRID,avg(JVTVUSE),sum(JVTTIO),sum(JVTRIO),sum(JVTWIO),avg(JVTTIOR),avg(JVTRIOR),avg(JVTWIOR),max(JVTTIOR),max(JVTRIOR),max(JVTWIOR) FROM \"VXR.LGOAVTA\" GROUP BY DSGROUP,JVTVOL|"
  "GROUPVOLUME|VXR.LGOAVOL|ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVSVOLN,JVSVUTIL,JVSVRESP,JVSTIO,JVSDBIO,JVSTIOR,JVSDBIR,JVSDSNS,JVSEXTS,JVSVUSE|SELECT DSGROUP,JVSVOLN,min(TIMESTAMP),count(*),avg(JVSVUTIL),avg(JVSVRESP),sum(JVSTIO),sum(JVSDBIO),avg(JVSTIOR),avg(JVSDBIR),sum(JVSDSNS),sum(JVSEXTS),avg(JVSVUSE),max(JVSVRESP),max(JVSDBIR) FROM \"VXR.LGOAVOL\" GROUP BY DSGROUP,JVSVOLN|"
  "MEMBERSTATUS|VXR.LOBJECTS|IDNAME,JAPDB|SELECT IDNAME,count(DISTINCT JAPDB) FROM \"VXR.LOBJECTS\" GROUP BY IDNAME|"
)

# A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf (b > 0 ? "%.2f" : "—"), (b > 0 ? a / b : 0)}'; }
# Runs a command once: elapsed seconds, peak KiB and CPU seconds to $work/NAME.
timed() {
  local name="$1"
  shift
  /usr/bin/time -f "%e %M %U %S" -o "$work/t" "$@" >/dev/null 2>"$work/err" || {
    echo "compare.sh: $name failed: $(head -c 300 "$work/err")" >&2
    exit 1
  }
  awk '{printf "%s %s %.2f\n", $1, $2, $3 + $4}' "$work/t" >>"$work/$name"
}

echo "| table | keys | member rows | rows out | ours: elapsed, CPU | scan: elapsed, CPU | ours / scan: elapsed, CPU | GROUP BY: elapsed, CPU | ours / GROUP BY: elapsed, CPU | peak | rows' size | peak / rows |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for spec in "${specs[@]}"; do
  IFS='|' read -r table base columns groupby filter <<<"$spec"
  if [[ -n "${TABLES:-}" && " $TABLES " != *" $table "* ]]; then continue; fi
  rowsize="$("$vxrhost" tables | awk -v t="$table" '$1 == t {print $3}')"
  for shape in distinct shared; do
    db="$distinct"
    [[ "$shape" == shared ]] && db="$shared"
    args=(query "$table" --db "$db" --format csv)
    label="$table"
    if [[ -n "$filter" ]]; then
      args+=(--filter "$filter")
      label="$table ($filter)"
    fi
    rm -f "$work/ours" "$work/scan" "$work/groupby"
    for ((i = 0; i < runs; i++)); do
      timed ours "$vxrhost" "${args[@]}"
      out="$(grep -E "^$table: [0-9]+ rows?," "$work/err" | sed -E 's/^[^:]*: ([0-9]+) rows?,.*/\1/')"
      timed scan sqlite3 "$db" "SELECT $columns FROM \"$base\""
      [[ -n "$groupby" ]] && timed groupby sqlite3 "$db" "$groupby"
    done
    ours="$(cut -d' ' -f1 "$work/ours" | median)"
    scan="$(cut -d' ' -f1 "$work/scan" | median)"
    ours_cpu="$(cut -d' ' -f3 "$work/ours" | median)"
    scan_cpu="$(cut -d' ' -f3 "$work/scan" | median)"
    peak="$(cut -d' ' -f2 "$work/ours" | median)"
    if [[ -n "$groupby" ]]; then
      group="$(cut -d' ' -f1 "$work/groupby" | median)"
      group_cpu="$(cut -d' ' -f3 "$work/groupby" | median)"
      group_cols="$(printf '%.2f s, %.2f s | %s, %s' "$group" "$group_cpu" "$(ratio "$ours" "$group")" \
        "$(ratio "$ours_cpu" "$group_cpu")")"
    else
      group_cols="— | —"
    fi
    where=""
    [[ -n "$filter" ]] && where=" WHERE ${filter%%=*} = '${filter#*=}'"
    member_rows="$(sqlite3 "$db" "SELECT count(*) FROM \"$base\"$where")"
    rows_kib=$((member_rows * rowsize / 1024))
    printf '| %s | %s | %s | %s | %.2f s, %.2f s | %.2f s, %.2f s | %s | %s | %d MB | %d MB | %s |\n' \
      "$label" "$shape" "$member_rows" "$out" "$ours" "$ours_cpu" "$scan" "$scan_cpu" \
      "$(ratio "$ours" "$scan"), $(ratio "$ours_cpu" "$scan_cpu")" "$group_cols" \
      $((${peak%.*} / 1024)) $((rows_kib / 1024)) "$(ratio "${peak%.*}" "$rows_kib")"
  done
done

// VXR console: the group overview, four charts per group and a table
// browser, all from vxrhost's HTTP API (/api/v1/...). Plain script, no build
// step; Chart.js is the only library and comes from the same server.
'use strict';

(() => {
  const OVERVIEW_EVERY_MS = 5000;
  const CHARTS_EVERY_MS = 10000;
  const PAGE_ROWS = 200;  // rows drawn at a time; sorting works on all of them
  const RESERVED_PARAMS = new Set(['table', 'sort']);

  const $ = (id) => document.getElementById(id);

  // ---- API -------------------------------------------------------------

  class ApiError extends Error {
    constructor(status, error, detail) {
      super(error);
      this.status = status;
      this.error = error;
      this.detail = detail;
    }
  }

  async function api(path, options) {
    let response;
    try {
      response = await fetch(path, options);
    } catch (e) {
      throw new ApiError(0, 'the server does not answer', String(e.message || e));
    }
    const text = await response.text();
    let body = text;
    if ((response.headers.get('content-type') || '').includes('json')) {
      try {
        body = JSON.parse(text);
      } catch (e) {
        throw new ApiError(response.status, 'the answer is not valid JSON', String(e.message || e));
      }
    }
    if (!response.ok) {
      if (body && typeof body === 'object' && 'error' in body) {
        throw new ApiError(response.status, String(body.error), body.detail == null ? '' : String(body.detail));
      }
      throw new ApiError(response.status, `HTTP ${response.status}`, typeof body === 'string' ? body.trim() : '');
    }
    return body;
  }

  const rowsPath = (table, filters) => {
    const query = new URLSearchParams(filters).toString();
    return `/api/v1/tables/${encodeURIComponent(table)}/rows${query ? '?' + query : ''}`;
  };

  // A table answer's rows (objects in the API) as arrays in column order.
  function tableAnswer(body) {
    const columns = body.columns || [];
    const rows = (body.rows || []).map((r) => columns.map((c) => r[c]));
    return { columns, rows, summary: body.summary || {} };
  }

  // Rows as objects keyed by column name, for the overview and the charts.
  async function recordsOf(table, filters) {
    const { columns, rows } = tableAnswer(await api(rowsPath(table, filters || {})));
    return rows.map((r) => Object.fromEntries(columns.map((c, i) => [c, r[i]])));
  }

  // ---- formatting ------------------------------------------------------

  const numberFormat = new Intl.NumberFormat('en-US');

  // A time from the API (ISO 8601) or from Date.now().
  function toDate(value) {
    if (value == null || value === '') return null;
    const d = new Date(value);
    return isNaN(d) ? null : d;
  }

  function timeText(value) {
    const d = toDate(value);
    if (!d) return value == null || value === '' ? '–' : String(value);
    const sameDay = d.toDateString() === new Date().toDateString();
    const hms = d.toLocaleTimeString('en-GB', { hour12: false });
    return sameDay ? hms : `${d.toISOString().slice(0, 10)} ${hms}`;
  }

  // A member's time stamp, CYYMMDDHHMMSSmmm, as a date and time.
  function stampText(stamp) {
    const s = String(stamp || '');
    if (!/^\d{16}$/.test(s)) return s || '–';
    const year = 1900 + 100 * Number(s[0]) + Number(s.slice(1, 3));
    return `${year}-${s.slice(3, 5)}-${s.slice(5, 7)} ${s.slice(7, 9)}:${s.slice(9, 11)}:${s.slice(11, 13)}`;
  }

  function el(tag, attrs, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (k === 'class') e.className = v;
      else if (k === 'text') e.textContent = v;
      else e.setAttribute(k, v);
    }
    for (const c of children) e.append(c);
    return e;
  }

  function setConnection(error) {
    const conn = $('conn');
    conn.textContent = error ? `Not updated: ${error.error}${error.detail ? ' – ' + error.detail : ''}` : `Updated ${timeText(Date.now())}`;
  }

  // ---- catalog ---------------------------------------------------------

  let catalog = [];  // [{name, module, description, rowSize, attributes:[{name,width,type,filter}]}]

  function normaliseCatalog(body) {
    return (body.tables || []).map((t) => ({
      name: t.table,
      module: t.module,
      description: t.description || '',
      rowSize: t.row_size,
      attributes: (t.attributes || []).map((a) => ({
        name: a.name,
        width: a.width,
        type: a.type,
        filter: Boolean(a.filter),
      })),
    })).sort((a, b) => a.name.localeCompare(b.name));
  }

  const catalogTable = (name) => catalog.find((t) => t.name === String(name).toUpperCase());
  const isNumeric = (attr) => attr && /int/i.test(attr.type);

  // ---- overview --------------------------------------------------------

  let groups = [];  // names of the groups shown, for the chart picker
  let heartbeat = null;

  // Members known of a group: the most members this browser has seen
  // report the group, so that a member that drops out still counts.
  function membersKnown(group, online) {
    const key = `vxr.members.${group}`;
    const known = Math.max(Number(localStorage.getItem(key)) || 0, online);
    localStorage.setItem(key, String(known));
    return known;
  }

  // The group views in the node-status table: nodes of the group product
  // under a parent ("GRPA:RX4plex:DSGROUP" under the plex's node).
  function groupNodes(nodes) {
    const list = nodes.rows || [];
    const byGroup = new Map();
    for (const n of list) {
      const node = String(n.NODE || '').trim();
      const parent = String(n.THRUNODE || '').trim();
      if (String(n.PRODUCT).trim() !== 'XR' || parent === '*' || !node.endsWith(':DSGROUP')) continue;
      byGroup.set(node.split(':')[0], { node, online: String(n.Q7ONLINE).trim() === 'Y' });
    }
    return byGroup;
  }

  // GET /api/v1/heartbeat wraps the last heartbeat in "last"; POST answers with the heartbeat itself.
  function lastHeartbeat(hb) {
    return hb && (hb.last !== undefined ? hb.last : hb);
  }

  function updateOf(group, hb) {
    const last = lastHeartbeat(hb);
    const updates = (last && last.updates) || [];
    return updates.find((u) => String(u.node || '').split(':')[0] === group);
  }

  function updateText(update) {
    if (!update) return 'not in the last heartbeat';
    let text = update.online ? 'set online' : 'set offline';
    if (update.applied === false) text += ` – not applied${update.reason ? ': ' + update.reason : ''}`;
    return text;
  }

  function groupCard(group, view, status, hb) {
    const state = !view ? 'unknown' : view.online ? 'online' : 'offline';
    const stateText = { online: '● Online', offline: '✕ Offline', unknown: '? Not registered' }[state];
    const online = status ? Number(status.RX4COUNT) || 0 : 0;
    const known = membersKnown(group, online);
    const card = el('article', { class: `card ${state}`, 'data-group': group, 'data-state': state, 'aria-labelledby': `card-${group}` },
      el('header', {},
        el('h3', { id: `card-${group}`, text: group }),
        el('span', { class: 'state', text: stateText })));
    const dl = el('dl');
    const add = (term, value) => dl.append(el('dt', { text: term }), el('dd', { text: value }));
    add('Members', !status ? 'none reports the group' : known ? `${online} of ${known} online` : 'none answering');
    add('Reported', status ? `${String(status.IDSTATUS).trim()} at ${stampText(status.TIME)}` : '–');
    add('Heartbeat', updateText(updateOf(group, hb)));
    card.append(dl);
    let note = '';
    if (state === 'offline') note = 'Group offline: no member answers for it.';
    else if (state === 'unknown') note = 'Not in the node-status table yet; the next heartbeat registers it.';
    else if (known > online) note = `${known - online} member${known - online > 1 ? 's' : ''} not answering.`;
    card.append(el('p', { class: 'note', text: note }));
    return card;
  }

  function showHeartbeat(hb) {
    heartbeat = hb;
    const last = lastHeartbeat(hb);
    if (last) {
      const updates = last.updates || [];
      const duration = `${Math.round(1000 * last.duration_seconds)} ms`;
      const reason = updates.length && updates[0].reason ? `: ${updates[0].reason}` : '';
      const result = last.applied ? `${updates.length} updates applied` : `not applied${reason}`;
      $('hb-last').textContent = `${timeText(last.start)}, ${last.trigger} (${result}, ${duration})`;
    } else {
      $('hb-last').textContent = 'none yet';
    }
    const interval = hb && hb.interval_seconds;
    $('hb-next').textContent = hb && hb.next ? `${timeText(hb.next)}${interval ? ` (every ${interval} s)` : ''}` : 'not scheduled';
    $('hb-run').hidden = !(hb && hb.manual);
  }

  async function refreshOverview() {
    // One request after the other: the server gives each connection a
    // worker while it is kept alive, so a burst of parallel connections waits.
    const nodes = await api('/api/v1/nodes');
    const hb = await api('/api/v1/heartbeat');
    const status = await recordsOf('MEMBERSTATUS');
    showHeartbeat(hb);
    const views = groupNodes(nodes);
    const statusOf = new Map();
    for (const r of status) if (String(r.IDTYPE).trim() === 'DSGRP') statusOf.set(String(r.IDNAME).trim(), r);
    const names = [...new Set([...views.keys(), ...statusOf.keys()])].sort();
    const box = $('groups');
    // Replace the cards in one go, keeping focus where it was.
    box.replaceChildren(...names.map((g) => groupCard(g, views.get(g), statusOf.get(g), hb)));
    if (!names.length) box.append(el('p', { class: 'placeholder', text: 'No data sharing group is known.' }));
    if (names.join() !== groups.join()) {
      groups = names;
      fillGroupPicker();
    }
  }

  async function runHeartbeat() {
    const button = $('hb-run');
    const message = $('hb-message');
    button.disabled = true;
    message.className = 'message';
    message.textContent = 'Running a heartbeat…';
    try {
      const result = await api('/api/v1/heartbeat', { method: 'POST' });
      const last = lastHeartbeat(result) || {};
      const updates = last.updates || [];
      message.textContent = `Heartbeat done: ${updates.map((u) => `${String(u.node).split(':')[0]} ${u.online ? 'online' : 'offline'}`).join(', ') || 'no updates'}.`;
      await refreshOverview();
    } catch (e) {
      message.className = 'message bad';
      message.textContent = `Heartbeat failed: ${e.error}${e.detail ? ' – ' + e.detail : ''}`;
    } finally {
      button.disabled = false;
    }
  }

  // ---- charts ----------------------------------------------------------

  // Writes each bar's value at its end, so that no value needs hovering.
  const valueLabels = {
    id: 'valueLabels',
    afterDatasetsDraw(chart) {
      const { ctx, chartArea } = chart;
      ctx.save();
      ctx.font = '12px system-ui, sans-serif';
      ctx.textBaseline = 'middle';
      chart.data.datasets.forEach((dataset, i) => {
        const meta = chart.getDatasetMeta(i);
        if (meta.hidden) return;
        meta.data.forEach((bar, j) => {
          const text = `${numberFormat.format(dataset.data[j])}${dataset.unit || ''}`;
          const width = ctx.measureText(text).width;
          const inside = bar.x + 4 + width > chartArea.right;
          ctx.fillStyle = inside ? '#ffffff' : '#1b1f24';
          ctx.fillText(text, inside ? bar.x - 4 - width : bar.x + 4, bar.y);
        });
      });
      ctx.restore();
    },
  };

  const COLOURS = ['#1d4ed8', '#b45309'];

  const sum = (row, ...cols) => cols.reduce((s, c) => s + (Number(row[c]) || 0), 0);
  const byDesc = (key) => (a, b) => key(b) - key(a);

  // Each chart: one request; bars from its rows of the chosen group.
  const CHARTS = [
    {
      id: 'chart-bufpool',
      table: () => (catalogTable('GROUPBUFPOOL') ? 'GROUPBUFPOOL' : 'GROUPBPSTATS'),
      axis: 'Read hit ratio (%)',
      max: 100,
      bars(rows) {
        const pct = (r) => {
          if ('RD_HIT_PCT' in r) return Number(r.RD_HIT_PCT);
          const reads = sum(r, 'XIREAD', 'XIREADN', 'GBPREAD', 'GBPREADN');
          return reads ? Math.round((100 * sum(r, 'XIREAD', 'GBPREAD')) / reads) : 0;
        };
        rows.sort(byDesc(pct));
        return { labels: rows.map((r) => r.STRUCTN), sets: [{ label: 'Read hit', unit: ' %', data: rows.map(pct) }] };
      },
    },
    {
      id: 'chart-lock',
      table: () => 'GROUPLOCKSTRUCT',
      axis: 'Contention (% of lock requests)',
      bars(rows) {
        return {
          labels: rows.map((r) => r.STRUCTN),
          sets: [
            { label: 'Global contention', unit: ' %', data: rows.map((r) => Number(r.R4GCONT)) },
            { label: 'False contention', unit: ' %', data: rows.map((r) => Number(r.R4FCONT)) },
          ],
        };
      },
    },
    {
      id: 'chart-spaces',
      table: () => 'GROUPOBJACT',
      axis: 'Getpages (count in the interval)',
      bars(rows) {
        rows.sort(byDesc((r) => Number(r.JTPGETP)));
        rows = rows.slice(0, 10);
        return { labels: rows.map((r) => `${r.JTPDB}.${r.JTPSP}`), sets: [{ label: 'Getpages', data: rows.map((r) => Number(r.JTPGETP)) }] };
      },
    },
    {
      id: 'chart-volumes',
      table: () => 'GROUPVOLUME',
      axis: 'Response time (ms)',
      bars(rows) {
        rows.sort(byDesc((r) => Number(r.JVSVRESP)));
        return { labels: rows.map((r) => r.JVSVOLN), sets: [{ label: 'Response time', unit: ' ms', data: rows.map((r) => Number(r.JVSVRESP)) }] };
      },
    },
  ];

  const charts = new Map();

  function drawChart(spec, bars) {
    const datasets = bars.sets.map((s, i) => ({ ...s, backgroundColor: COLOURS[i], maxBarThickness: 28 }));
    let chart = charts.get(spec.id);
    if (chart) {
      chart.data.labels = bars.labels;
      chart.data.datasets = datasets;
      chart.update('none');
      return;
    }
    const canvas = document.querySelector(`#${spec.id} canvas`);
    chart = new window.Chart(canvas, {
      type: 'bar',
      data: { labels: bars.labels, datasets },
      plugins: [valueLabels],
      options: {
        indexAxis: 'y',
        animation: false,
        maintainAspectRatio: false,
        layout: { padding: { right: 8 } },
        plugins: {
          legend: { display: datasets.length > 1, labels: { color: '#1b1f24' } },
          tooltip: { enabled: true },
        },
        scales: {
          x: {
            beginAtZero: true,
            grace: '12%',
            max: spec.max,
            title: { display: true, text: spec.axis, color: '#1b1f24' },
            ticks: { color: '#374151' },
          },
          y: { ticks: { color: '#1b1f24', autoSkip: false } },
        },
      },
    });
    charts.set(spec.id, chart);
  }

  function fillGroupPicker() {
    const picker = $('chart-group');
    const chosen = picker.value;
    picker.replaceChildren(...groups.map((g) => el('option', { value: g, text: g })));
    if (groups.includes(chosen)) picker.value = chosen;
    refreshCharts();
  }

  async function refreshChart(spec, group) {
    const figure = $(spec.id);
    const note = figure.querySelector('.chart-note');
    const table = spec.table();
    try {
      const rows = (await recordsOf(table, { IDNAME: group })).filter((r) => String(r.IDNAME).trim() === group);
      const bars = spec.bars(rows);
      drawChart(spec, bars);
      figure.dataset.bars = String(bars.labels.length * bars.sets.length);
      note.textContent = `${table}: ${bars.labels.length ? bars.labels.map((l, i) => `${l} ${bars.sets.map((s) => numberFormat.format(s.data[i]) + (s.unit || '')).join(' / ')}`).join('; ') : 'no rows for ' + group}`;
    } catch (e) {
      note.textContent = `${table}: ${e.error}${e.detail ? ' – ' + e.detail : ''}`;
    }
  }

  async function refreshCharts() {
    const group = $('chart-group').value;
    if (!group || !window.Chart) return;
    for (const spec of CHARTS) await refreshChart(spec, group);  // in turn, as the overview
  }

  // ---- table browser ---------------------------------------------------

  const view = { table: '', filters: {}, sort: null, columns: [], rows: [], order: [], page: 0, summary: {} };

  function stateFromUrl() {
    const params = new URLSearchParams(location.search);
    const filters = {};
    for (const [k, v] of params) if (!RESERVED_PARAMS.has(k)) filters[k.toUpperCase()] = v;
    const sort = params.get('sort');
    return {
      table: (params.get('table') || '').toUpperCase(),
      filters,
      sort: sort ? { column: sort.replace(/^-/, '').toUpperCase(), descending: sort.startsWith('-') } : null,
    };
  }

  function urlOf(table, filters, sort) {
    const params = new URLSearchParams();
    if (table) params.set('table', table);
    for (const [k, v] of Object.entries(filters)) params.append(k, v);
    if (sort) params.set('sort', (sort.descending ? '-' : '') + sort.column);
    return `${location.pathname}?${params}#tables`;
  }

  function renderFilters(table, values) {
    const box = $('filters');
    box.replaceChildren(el('legend', { text: 'Filters' }));
    const t = catalogTable(table);
    $('table-desc').textContent = t ? `${t.description} (module ${t.module})` : '';
    if (!t) return;
    const names = t.attributes.filter((a) => a.filter).map((a) => a.name);
    // A filter from the URL on another column is kept, so the server can say what is wrong with it.
    for (const k of Object.keys(values)) if (!names.includes(k)) names.push(k);
    for (const name of names) {
      const attr = t.attributes.find((a) => a.name === name);
      const input = el('input', { name, id: `f-${name}`, autocomplete: 'off', spellcheck: 'false' });
      input.value = values[name] || '';
      const hint = attr ? `${attr.width} characters` : 'not a column of this table';
      box.append(el('label', { for: `f-${name}` }, `${name} `, el('span', { class: 'desc', text: hint }), input));
    }
    if (!names.length) box.append(el('p', { class: 'desc', text: 'This table has no filter columns.' }));
  }

  function filtersFromForm() {
    const filters = {};
    for (const input of $('filters').querySelectorAll('input')) if (input.value !== '') filters[input.name] = input.value;
    return filters;
  }

  function showError(e) {
    const box = $('error');
    if (!e) {
      box.hidden = true;
      box.replaceChildren();
      return;
    }
    box.replaceChildren(el('p', { class: 'message-text', text: e.error }));
    if (e.detail) box.append(el('p', { class: 'detail', text: e.detail }));
    box.hidden = false;
  }

  // The summary as vxrhost query prints it: rows, members queried, status, times.
  const summaryText = (rowCount, s) => s.line || `${numberFormat.format(rowCount)} rows`;

  function sortRows() {
    const order = view.rows.map((_, i) => i);
    if (view.sort) {
      const c = view.columns.indexOf(view.sort.column);
      if (c >= 0) {
        const numeric = isNumeric(catalogTable(view.table)?.attributes.find((a) => a.name === view.sort.column));
        const key = (i) => view.rows[i][c];
        const compare = numeric ? (a, b) => key(a) - key(b) : (a, b) => (key(a) < key(b) ? -1 : key(a) > key(b) ? 1 : 0);
        order.sort((a, b) => (view.sort.descending ? compare(b, a) : compare(a, b)) || a - b);
      }
    }
    view.order = order;
  }

  function renderRows() {
    const t = catalogTable(view.table);
    const numeric = view.columns.map((c) => isNumeric(t?.attributes.find((a) => a.name === c)));
    const head = el('tr');
    view.columns.forEach((c, i) => {
      const sorted = view.sort && view.sort.column === c ? (view.sort.descending ? 'descending' : 'ascending') : 'none';
      const button = el('button', { type: 'button', class: 'link', 'data-column': c, text: c });
      head.append(el('th', { scope: 'col', 'aria-sort': sorted, class: numeric[i] ? 'num' : '' }, button));
    });
    const body = document.createElement('tbody');
    const first = view.page * PAGE_ROWS;
    for (const i of view.order.slice(first, first + PAGE_ROWS)) {
      const tr = document.createElement('tr');
      view.rows[i].forEach((v, c) => {
        const td = document.createElement('td');
        if (numeric[c]) td.className = 'num';
        td.textContent = v;
        tr.append(td);
      });
      body.append(tr);
    }
    $('rows').replaceChildren(el('thead', {}, head), body);
    const pages = Math.ceil(view.rows.length / PAGE_ROWS);
    $('pager').hidden = pages <= 1;
    $('page-info').textContent = `Rows ${numberFormat.format(first + 1)}–${numberFormat.format(Math.min(first + PAGE_ROWS, view.rows.length))} of ${numberFormat.format(view.rows.length)} (page ${view.page + 1} of ${pages})`;
    $('prev').disabled = view.page === 0;
    $('next').disabled = view.page >= pages - 1;
  }

  function clearRows() {
    view.columns = [];
    view.rows = [];
    view.order = [];
    $('rows').replaceChildren();
    $('pager').hidden = true;
    $('csv').disabled = true;
  }

  let queryNumber = 0;

  async function runQuery() {
    const number = ++queryNumber;
    const { table, filters } = view;
    showError(null);
    $('summary').textContent = `Asking ${table}…`;
    $('run').disabled = true;
    try {
      const answer = tableAnswer(await api(rowsPath(table, filters)));
      if (number !== queryNumber) return;
      Object.assign(view, { columns: answer.columns, rows: answer.rows, summary: answer.summary, page: 0 });
      $('summary').textContent = summaryText(answer.rows.length, answer.summary);
      $('summary').classList.toggle('bad', Boolean(answer.summary.incomplete));
      sortRows();
      renderRows();
      $('csv').disabled = false;
    } catch (e) {
      if (number !== queryNumber) return;
      clearRows();
      $('summary').textContent = '';
      showError(e);
    } finally {
      if (number === queryNumber) $('run').disabled = false;
    }
  }

  // CSV as vxrhost writes it: a header, fields quoted where needed, CRLF.
  function csvField(value) {
    const text = String(value);
    return /[",\r\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text;
  }

  function downloadCsv() {
    const lines = [view.columns.map(csvField).join(',')];
    for (const i of view.order) lines.push(view.rows[i].map(csvField).join(','));
    const blob = new Blob([lines.join('\r\n') + '\r\n'], { type: 'text/csv' });
    const link = el('a', { href: URL.createObjectURL(blob), download: `${view.table}.csv` });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  function applyUrlState(run) {
    const state = stateFromUrl();
    const select = $('table');
    const table = catalogTable(state.table) ? state.table : state.table ? state.table : select.value;
    if (state.table && !catalogTable(state.table)) {
      // An unknown table from a link: ask anyway, so that the server says so.
      if (![...select.options].some((o) => o.value === table)) select.append(el('option', { value: table, text: table }));
    }
    select.value = table;
    Object.assign(view, { table, filters: state.filters, sort: state.sort });
    renderFilters(table, state.filters);
    clearRows();
    showError(null);
    $('summary').textContent = '';
    if (run && state.table) runQuery();
  }

  function initTableBrowser() {
    const select = $('table');
    select.replaceChildren(...catalog.map((t) => el('option', { value: t.name, text: t.name })));
    select.addEventListener('change', () => {
      Object.assign(view, { table: select.value, filters: {}, sort: null });
      history.pushState(null, '', urlOf(view.table, {}, null));
      renderFilters(view.table, {});
      clearRows();
      showError(null);
      $('summary').textContent = '';
    });
    $('query').addEventListener('submit', (event) => {
      event.preventDefault();
      view.table = select.value;
      view.filters = filtersFromForm();
      history.pushState(null, '', urlOf(view.table, view.filters, view.sort));
      runQuery();
    });
    $('rows').addEventListener('click', (event) => {
      const button = event.target.closest('button[data-column]');
      if (!button) return;
      const column = button.dataset.column;
      view.sort = view.sort && view.sort.column === column ? { column, descending: !view.sort.descending } : { column, descending: false };
      view.page = 0;
      history.replaceState(null, '', urlOf(view.table, view.filters, view.sort));
      sortRows();
      renderRows();
      $('rows').querySelector(`button[data-column="${CSS.escape(column)}"]`).focus();
    });
    $('prev').addEventListener('click', () => { view.page -= 1; renderRows(); });
    $('next').addEventListener('click', () => { view.page += 1; renderRows(); });
    $('csv').addEventListener('click', downloadCsv);
    window.addEventListener('popstate', () => applyUrlState(true));
    applyUrlState(true);
  }

  // ---- start -----------------------------------------------------------

  function every(ms, task) {
    const tick = async () => {
      if (!document.hidden) {
        try {
          await task();
          setConnection(null);
        } catch (e) {
          setConnection(e);
        }
      }
      setTimeout(tick, ms);
    };
    tick();
  }

  async function start() {
    $('hb-run').addEventListener('click', runHeartbeat);
    $('chart-group').addEventListener('change', refreshCharts);
    try {
      catalog = normaliseCatalog(await api('/api/v1/tables'));
    } catch (e) {
      setConnection(e);
      showError(e);
    }
    initTableBrowser();
    every(OVERVIEW_EVERY_MS, refreshOverview);
    setTimeout(() => every(CHARTS_EVERY_MS, refreshCharts), CHARTS_EVERY_MS);
  }

  start();
})();

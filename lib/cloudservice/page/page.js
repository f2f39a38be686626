'use strict';
// The fleet page: devices with their live task from the service's feed, and the work
// records with totals. The token is asked once and kept for this browser session.

const TokenKey = 'fleetToken';
const StatusNames = { 0: 'idle', 1: 'cutting', 2: 'paused', 3: 'stopped' };
const devices = new Map(); // by code: {code, id, online, last_seen, task}
let token = '';
let feed = null;

const $ = (id) => document.getElementById(id);

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text === undefined || text === null ? '' : String(text);
  if (className) td.className = className;
  return td;
}

function showLogin(message) {
  $('main').hidden = true;
  $('login').hidden = false;
  $('login-error').textContent = message;
}

async function api(path) {
  const reply = await fetch(path, { headers: { Authorization: 'Bearer ' + token } });
  if (reply.status === 401) {
    sessionStorage.removeItem(TokenKey);
    if (feed) feed.close();
    showLogin(token ? 'The service refused this token.' : 'This service wants an access token.');
    throw new Error('unauthorized');
  }
  if (!reply.ok) {
    let detail = reply.statusText;
    try { detail = (await reply.json()).detail || detail; } catch (e) { /* not JSON */ }
    throw new Error(detail);
  }
  return reply;
}

// Task states come from the cutters as they are: any field may be missing, zero or of
// another type, and the page must still show every device.
const count = (v) => (Number.isFinite(Number(v)) ? Number(v) : 0);

function taskText(task) {
  if (!task || typeof task !== 'object' || (!count(task.TaskCopies) && !isRunning(task))) return '';
  const copies = count(task.TaskCopies);
  const done = count(task.Finished);
  const status = task.Status === 0 && copies > 0 && done >= copies ? 'done' : (StatusNames[task.Status] || 'status ' + task.Status);
  const name = typeof task.FileName === 'string' && task.FileName ? task.FileName : 'job';
  return `${name}: ${done}/${copies} copies, ${count(task.Percent)}%, ${status}`;
}

function isRunning(task) {
  return !!task && typeof task === 'object' && task.Status !== undefined && task.Status !== 0 && task.Status !== 3;
}

function percentOf(task) {
  const copies = count(task.TaskCopies);
  // Drivers that count copies only leave "Percent" at 0 until the end.
  const byCopies = copies > 0 ? (100 * count(task.Finished)) / copies : 0;
  return Math.min(100, Math.max(0, count(task.Percent), byCopies));
}

function renderDevices() {
  const body = $('devices');
  body.textContent = '';
  const sorted = [...devices.values()].sort((a, b) => a.code.localeCompare(b.code));
  for (const d of sorted) {
    const row = body.insertRow();
    row.dataset.code = d.code;
    cell(row, d.code);
    cell(row, d.id, 'num');
    cell(row, d.online ? 'online' : 'offline', d.online ? 'online' : 'offline');
    cell(row, d.last_seen ? new Date(d.last_seen).toLocaleString() : 'never');
    const task = cell(row, taskText(d.task), 'task');
    if (isRunning(d.task)) {
      const bar = document.createElement('progress');
      bar.max = 100;
      bar.value = percentOf(d.task);
      task.prepend(bar, ' ');
    }
  }
  if (!sorted.length) cell(body.insertRow(), 'No device has registered yet.').colSpan = 5;
  const select = $('filter-device');
  const chosen = select.value;
  select.length = 1;
  for (const d of sorted) if (d.id !== undefined) select.add(new Option(d.code, d.id));
  select.value = chosen;
}

function merge(entry) {
  const known = devices.get(entry.code) || { code: entry.code };
  const wasRunning = isRunning(known.task);
  Object.assign(known, entry);
  devices.set(entry.code, known);
  return wasRunning && !isRunning(known.task);
}

async function loadDevices() {
  const list = await (await api('/device')).json();
  for (const d of list) merge(d);
  renderDevices();
}

function filterQuery(extra) {
  const q = new URLSearchParams(extra);
  if ($('filter-device').value) q.set('device', $('filter-device').value);
  if ($('filter-from').value) q.set('from', $('filter-from').value);
  if ($('filter-to').value) q.set('to', $('filter-to').value);
  return '/device_work_records?' + q.toString();
}

// Units as the command line gives them: sides and areas in mm and mm², lengths in m.
const number = (v, digits) => count(v).toLocaleString('en', { maximumFractionDigits: digits });
const areaText = (mm2) => `${number(mm2, 0)} mm²`;
const lengthText = (mm) => `${number(count(mm) / 1000, 2)} m`;

// The driver writes "HEIGHTxWIDTH"; shown width x height, as the command line does.
function sizeText(size) {
  const sides = /^(-?\d+)x(-?\d+)$/.exec(size || '');
  return sides ? `${sides[2]} x ${sides[1]} mm` : size || '';
}

// Area and path are per copy: every finished copy cut them once more.
function addTo(totals, key, r) {
  const t = totals.get(key) || { jobs: 0, copies: 0, area: 0, length: 0 };
  const copies = count(r.finish_copies);
  t.jobs += 1;
  t.copies += copies;
  t.area += count(r.page_area) * copies;
  t.length += count(r.path_length) * copies;
  totals.set(key, t);
}

function renderTotals(id, totals) {
  const body = $(id);
  body.textContent = '';
  for (const [key, t] of [...totals.entries()].sort()) {
    const row = body.insertRow();
    cell(row, key);
    for (const v of [t.jobs, t.copies, areaText(t.area), lengthText(t.length)]) cell(row, v, 'num');
  }
}

function codeOf(id) {
  for (const d of devices.values()) if (d.id === id) return d.code;
  return '#' + id;
}

async function loadRecords() {
  $('records-error').textContent = '';
  let records;
  try {
    records = await (await api(filterQuery())).json();
  } catch (e) {
    $('records-error').textContent = e.message;
    return;
  }
  const perDevice = new Map();
  const perDay = new Map();
  const body = $('records');
  body.textContent = '';
  for (const r of records) {
    addTo(perDevice, codeOf(r.device), r);
    addTo(perDay, (r.end_time || '').slice(0, 10), r);
    const row = body.insertRow();
    cell(row, (r.end_time || '').slice(0, 19));
    cell(row, codeOf(r.device));
    cell(row, r.file_name);
    cell(row, `${r.finish_copies}/${r.task_copies}`, 'num');
    cell(row, sizeText(r.page_size), 'num');
    cell(row, areaText(r.page_area), 'num');
    cell(row, lengthText(r.path_length), 'num');
    cell(row, `${count(r.task_time)} s`, 'num');
  }
  renderTotals('totals-device', perDevice);
  renderTotals('totals-day', perDay);
}

async function downloadCsv() {
  try {
    const blob = await (await api(filterQuery({ format: 'csv' }))).blob();
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = 'work-records.csv';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  } catch (e) {
    $('records-error').textContent = e.message;
  }
}

function onFeedMessage(event) {
  const message = JSON.parse(event.data);
  const entries = message.type === 'snapshot' ? message.devices : [message];
  let ended = false;
  let unknown = false;
  for (const entry of entries) {
    unknown = unknown || !devices.has(entry.code);
    ended = merge(entry) || ended;
  }
  renderDevices();
  if (unknown) loadDevices().catch(() => {});
  if (ended) setTimeout(loadRecords, 500); // the work record follows the end of the task
}

function connectFeed() {
  const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
  feed = new WebSocket(scheme + location.host + '/live');
  feed.onopen = () => {
    feed.send(JSON.stringify({ token }));
    $('feed').textContent = 'live';
    $('feed').className = 'feed on';
  };
  feed.onmessage = onFeedMessage;
  feed.onclose = () => {
    $('feed').textContent = 'live feed closed, retrying';
    $('feed').className = 'feed off';
    if (!$('main').hidden) setTimeout(connectFeed, 3000);
  };
}

async function open() {
  $('login').hidden = true;
  $('main').hidden = false;
  try {
    await loadDevices();
  } catch (e) {
    if (e.message !== 'unauthorized') $('records-error').textContent = e.message;
    return;
  }
  connectFeed();
  await loadRecords();
}

function start() {
  // A link may carry the token as "#token=..."; it is kept for the session and taken out of the address.
  const fromLink = location.hash.match(/token=([^&]+)/);
  if (fromLink) {
    sessionStorage.setItem(TokenKey, decodeURIComponent(fromLink[1]));
    history.replaceState(null, '', location.pathname);
  }
  token = sessionStorage.getItem(TokenKey) || '';
  $('login').addEventListener('submit', (e) => {
    e.preventDefault();
    token = $('token').value.trim();
    sessionStorage.setItem(TokenKey, token);
    open();
  });
  $('filter').addEventListener('submit', (e) => { e.preventDefault(); loadRecords(); });
  $('csv').addEventListener('click', downloadCsv);
  open();
}

start();

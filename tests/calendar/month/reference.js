// Reference table for the month view, computed with an independent
// ephemeris (Astronomy Engine under Node): the Moon's quarters and its
// entries into the zodiac signs, the lit share of its disc at local noon of
// every day, and the rises and sets of the Moon and the Sun at five places,
// December 2026 to November 2027. The C++ tests compare our own ephemeris
// with it. Regenerate from the repository root:
//
//   tmp=$(mktemp -d)
//   npm install --prefix "$tmp" --no-audit --no-fund --silent astronomy-engine@2.1.19
//   NODE_PATH="$tmp/node_modules" node tests/calendar/month/reference.js > tests/data/month-reference.tsv
//   rm -rf "$tmp"
'use strict';
const Astronomy = require('astronomy-engine');
const { Body } = Astronomy;

// The package does not export its package.json; it lies beside the main file.
const VERSION = JSON.parse(require('fs').readFileSync(
  require('path').join(require('path').dirname(require.resolve('astronomy-engine')), 'package.json'))).version;
const PLACES = [
  ['moscow', 55.7558, 37.6173, 'Europe/Moscow'],
  ['novosibirsk', 55.0084, 82.9357, 'Asia/Novosibirsk'],
  ['sydney', -33.8688, 151.2093, 'Australia/Sydney'],
  ['buenosaires', -34.6037, -58.3816, 'America/Argentina/Buenos_Aires'],
  ['murmansk', 68.9585, 33.0827, 'Europe/Moscow'],
].map(([name, lat, lon, zone]) => ({ name, lat, lon, zone, observer: new Astronomy.Observer(lat, lon, 0) }));
const START = Astronomy.MakeTime(new Date(Date.UTC(2026, 10, 29)));
const END = Astronomy.MakeTime(new Date(Date.UTC(2027, 11, 3)));
const J2000_MS = Date.UTC(2000, 0, 1, 12);
const PHASES = ['new', 'firstQuarter', 'full', 'lastQuarter'];

// An instant as UTC to a tenth of a second, taken from the exact day count
// (AstroTime.date drops the fraction of a millisecond).
function utc(t) {
  const ms = Math.round((J2000_MS + t.ut * 86400000) / 100) * 100;
  return new Date(ms).toISOString().replace(/(\.\d)\d\dZ$/, '$1Z');
}

// Wall clock of a zone at a UTC instant (milliseconds), read through Intl.
const clocks = new Map();
function wallClock(zone, ms) {
  if (!clocks.has(zone)) {
    clocks.set(zone, new Intl.DateTimeFormat('en-US', {
      timeZone: zone, hourCycle: 'h23', year: 'numeric', month: '2-digit', day: '2-digit',
      hour: '2-digit', minute: '2-digit', second: '2-digit',
    }));
  }
  return Object.fromEntries(clocks.get(zone).formatToParts(new Date(ms)).map(x => [x.type, x.value]));
}
function localDate(zone, t) {
  const p = wallClock(zone, J2000_MS + t.ut * 86400000);
  return `${p.year}-${p.month}-${p.day}`;
}
// The UTC instant at which the zone's clock shows the given local time; the
// offset is taken twice so that a change of offset near the guess is followed.
function localToUtc(zone, y, m, d, h) {
  const wanted = Date.UTC(y, m - 1, d, h);
  const offset = ms => {
    const p = wallClock(zone, ms);
    return Date.UTC(+p.year, p.month - 1, +p.day, +p.hour, +p.minute, +p.second) - ms;
  };
  const first = wanted - offset(wanted);
  return wanted - offset(first);
}

// Every local calendar date of the twelve months, as [y, m, d].
const DATES = [];
for (let ms = Date.UTC(2026, 11, 1); ms < Date.UTC(2027, 11, 1); ms += 86400000) {
  const d = new Date(ms);
  DATES.push([d.getUTCFullYear(), d.getUTCMonth() + 1, d.getUTCDate()]);
}
const iso = ([y, m, d]) => `${y}-${String(m).padStart(2, '0')}-${String(d).padStart(2, '0')}`;

function quarters() {
  const out = [];
  for (let q = Astronomy.SearchMoonQuarter(START); q.time.ut < END.ut; q = Astronomy.NextMoonQuarter(q)) {
    out.push(['phase', PHASES[q.quarter], utc(q.time)]);
  }
  return out;
}

// Sign entries. EclipticGeoMoon gives the longitude on the true ecliptic and
// equinox of date (precession and nutation applied); Ecliptic(GeoVector(Moon))
// gives the same frame, by way of J2000, and agrees with it to 0.001".
// The longitude is sampled every 6 hours (the Moon moves at most about
// 4 degrees in that time, so no sign is skipped) to bracket each change of
// sign, and the crossing is then searched to 0.1 s.
function signs() {
  const lon = t => Astronomy.EclipticGeoMoon(t).lon;
  const out = [];
  let t1 = START;
  let s1 = Math.floor(lon(t1) / 30);
  while (t1.ut < END.ut) {
    const t2 = t1.AddDays(0.25);
    const s2 = Math.floor(lon(t2) / 30);
    if (s2 !== s1) {
      const target = s2 * 30;
      const past = t => ((lon(t) - target + 540) % 360) - 180;
      const t = Astronomy.Search(past, t1, t2, { dt_tolerance_seconds: 0.1 });
      if (!t) throw new Error(`no crossing of ${target} degrees between ${utc(t1)} and ${utc(t2)}`);
      if (t.ut >= START.ut && t.ut < END.ut) out.push(['sign', String(s2), utc(t)]);
    }
    t1 = t2;
    s1 = s2;
  }
  return out;
}

// Every rise (direction +1) or set (-1) in the span. Where the body stays
// above or below the horizon the search gives null at its limit, and the
// listing goes on from the end of that limit.
function riseSets(body, observer, direction) {
  const LIMIT = 2;
  const out = [];
  let t = START;
  while (t.ut < END.ut) {
    const e = Astronomy.SearchRiseSet(body, observer, direction, t, LIMIT);
    if (!e) { t = t.AddDays(LIMIT); continue; }
    if (e.ut >= END.ut) break;
    out.push(e);
    t = e.AddDays(1 / 1440); // a minute on, past the event just found
  }
  return out;
}

const lines = [
  `# Month view reference: tests/calendar/month/reference.js, astronomy-engine ${VERSION}, Node ${process.version}, time zone rules ${process.versions.tz || 'unknown'}`,
  '# Instants are UTC, YYYY-MM-DDTHH:MM:SS.sZ, rounded to a tenth of a second; events span 2026-11-29T00:00Z .. 2027-12-03T00:00Z.',
  "# Dates are local calendar dates in the place's zone, 2026-12-01 .. 2027-11-30; illum is at 12:00 local clock time.",
  '# sign INDEX: the Moon enters INDEX*30 degrees of geocentric ecliptic longitude of date (true equinox, with nutation); 0 = Aries.',
  '# Rises and sets: upper limb, standard refraction, height 0 (SearchRiseSet).',
];
const records = { moonrise: [], moonset: [], sunrise: [], sunset: [] };
const illum = [];
for (const place of PLACES) {
  lines.push(['place', place.name, place.lat, place.lon, place.zone].join('\t'));
  for (const [y, m, d] of DATES) {
    const noon = Astronomy.MakeTime(new Date(localToUtc(place.zone, y, m, d, 12)));
    const percent = Astronomy.Illumination(Body.Moon, noon).phase_fraction * 100;
    illum.push(['illum', place.name, iso([y, m, d]), percent.toFixed(3)]);
  }
  for (const [kind, body, direction] of [['moonrise', Body.Moon, +1], ['moonset', Body.Moon, -1],
    ['sunrise', Body.Sun, +1], ['sunset', Body.Sun, -1]]) {
    const events = riseSets(body, place.observer, direction);
    const seen = new Set(events.map(e => localDate(place.zone, e)));
    const missing = DATES.map(iso).filter(d => !seen.has(d));
    lines.push(`# ${place.name} no ${kind}: ${missing.join(' ') || '-'}`);
    for (const e of events) records[kind].push([kind, place.name, utc(e)]);
  }
}
// Instants in one form sort as text; rises and sets stay grouped by place.
const byTime = rows => rows.sort((a, b) => (a[2] < b[2] ? -1 : a[2] > b[2] ? 1 : 0));
const rows = [...byTime(quarters()), ...byTime(signs()), ...illum,
  ...Object.values(records).flatMap(r => PLACES.flatMap(p => byTime(r.filter(x => x[1] === p.name))))];
for (const row of rows) lines.push(row.join('\t'));
process.stdout.write(lines.join('\n') + '\n');

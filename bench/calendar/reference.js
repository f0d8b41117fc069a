// One calendar refresh computed with an independent ephemeris (Astronomy
// Engine, run by Node): the new moons around a moment and the moonrise of
// every day between them at Moscow, as the calendar window needs them.
// Prints the median time of one refresh in milliseconds.
//   node reference.js RUNS        (astronomy-engine on NODE_PATH)
'use strict';
const Astronomy = require('astronomy-engine');

const runs = Number(process.argv[2] || 200);
const moscow = new Astronomy.Observer(55.75, 37.5833, 0);
const moment = new Date(Date.UTC(2026, 11, 8, 6, 5)); // 8 December 2026, 09:05 Moscow time

function refresh() {
  const before = Astronomy.SearchMoonPhase(0, Astronomy.MakeTime(moment).AddDays(-30), 30);
  const after = Astronomy.SearchMoonPhase(0, Astronomy.MakeTime(moment), 30);
  const rises = [];
  for (let day = Math.floor(before.ut) - 1; day <= Math.ceil(after.ut) + 1; ++day) {
    const rise = Astronomy.SearchRiseSet(Astronomy.Body.Moon, moscow, +1, day, 1);
    if (rise) rises.push(rise.ut);
  }
  return rises.length;
}

for (let i = 0; i < 20; ++i) refresh(); // the JIT warmed up
const times = [];
for (let i = 0; i < runs; ++i) {
  const t0 = process.hrtime.bigint();
  refresh();
  times.push(Number(process.hrtime.bigint() - t0) / 1e6);
}
times.sort((a, b) => a - b);
console.log(times[Math.floor(times.length / 2)].toFixed(3));

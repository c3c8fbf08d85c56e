// Vestrel line: the pages' own script. Every text from a station is put in with textContent,
// never as HTML.
"use strict";

(function () {
  // The viewer's offset from UTC, in minutes east, for the times and days the service shows.
  function tellOffset() {
    const offset = String(-new Date().getTimezoneOffset());
    const before = (document.cookie.match(/(?:^|; )vl_tz=([^;]*)/) || [])[1];
    document.cookie = "vl_tz=" + offset + "; path=/; SameSite=Strict";
    const page = document.body.dataset.page;
    const dated = page === "history" || page === "figures";
    // A page of "today" read before the service knew the viewer's offset is read again, once.
    if (before !== offset && dated && !/[?&](from|to)=/.test(location.search)) location.reload();
  }

  function text(value) {
    return value === null || value === undefined ? "" : String(value);
  }

  function timeLeft(seconds) {
    if (seconds === null || seconds === undefined) return "";
    const s = Math.max(0, Math.round(seconds));
    return Math.floor(s / 60) + ":" + String(s % 60).padStart(2, "0");
  }

  function outcomeOf(run, stale) {
    if (run.outcome) return run.failure_kind ? run.outcome + " (" + run.failure_kind + ")" : run.outcome;
    if (stale) return "stale: no word from the station";
    return "loading";
  }

  // The Now page: the whole view read once, then each run as its station writes it.
  function followLoads() {
    const body = document.querySelector("#live tbody");
    const feed = document.getElementById("feed");
    const runs = new Map();  // id -> {run, seenAt}
    let staleAfter = 30000;

    function cell(row, index, value) {
      row.cells[index].textContent = value;
    }

    function render(id) {
      const entry = runs.get(id);
      const run = entry.run;
      let row = body.querySelector('tr[data-id="' + CSS.escape(id) + '"]');
      if (!row) {
        row = document.createElement("tr");
        row.dataset.id = id;
        for (let i = 0; i < 8; i++) row.appendChild(document.createElement("td"));
        const bar = document.createElement("progress");
        bar.max = 100;
        row.cells[5].appendChild(bar);
        row.cells[5].appendChild(document.createElement("span"));
        body.insertBefore(row, body.firstChild);
      }
      const stale = !run.ended_at && run.age_ms + (Date.now() - entry.seenAt) > staleAfter;
      cell(row, 0, text(run.station));
      cell(row, 1, text(run.port));
      cell(row, 2, text(run.receiver_id));
      cell(row, 3, text(run.stage));
      cell(row, 4, run.image_count > 0 ? run.image_index + " of " + run.image_count + (run.image ? " (" + run.image + ")" : "") : "");
      row.cells[5].querySelector("progress").value = run.percent;
      row.cells[5].querySelector("span").textContent = " " + run.percent + " %";
      cell(row, 6, run.ended_at ? "" : timeLeft(run.seconds_left));
      cell(row, 7, outcomeOf(run, stale));
      row.className = "run " + (run.outcome || (stale ? "stale" : "loading"));
      row.title = text(run.reason);
    }

    function take(run) {
      runs.set(run.id, {run: run, seenAt: Date.now()});
      render(run.id);
    }

    function readAll() {
      fetch("/api/live", {credentials: "same-origin"})
        .then(function (answer) {
          if (answer.status === 401) location.assign("/sign-in");
          return answer.json();
        })
        .then(function (view) {
          staleAfter = view.stale_after_ms;
          body.textContent = "";
          runs.clear();
          view.runs.slice().reverse().forEach(take);
          feed.textContent = view.listening ? "Following the stations' loads as they go."
                                            : "The service does not hear the history server now: the view may be behind.";
        })
        .catch(function () {
          feed.textContent = "The service cannot be reached: the view may be behind.";
        });
    }

    const stream = new EventSource("/api/live/stream");
    stream.addEventListener("run", function (event) { take(JSON.parse(event.data)); });
    stream.addEventListener("refresh", readAll);
    stream.onerror = function () { feed.textContent = "The service cannot be reached: trying again."; };
    stream.onopen = readAll;
    setInterval(function () { runs.forEach(function (_, id) { render(id); }); }, 1000);
  }

  // The times the service wrote are the viewer's already; the offset heading says which.
  document.addEventListener("DOMContentLoaded", function () {
    tellOffset();
    if (document.body.dataset.page === "now") followLoads();
  });
})();

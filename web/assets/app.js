// varnock-web: filtering and sorting in place, and live updates, over the
// table the server rendered. The page works without this script. Text from
// the records is only ever set with textContent, never parsed as HTML.
"use strict";

(function () {
    const table = document.getElementById("devices");
    const form = document.getElementById("filters");
    if (!table || !form) {
        return; // the device view and the message pages need nothing
    }
    const tbody = table.tBodies[0];
    const headers = Array.from(table.tHead.rows[0].cells);
    const refresh = Number(document.body.dataset.refresh) || 2000;
    const fields = {
        q: document.getElementById("q"),
        state: document.getElementById("state"),
        newSince: document.getElementById("new_since"),
        random: document.getElementById("random"),
        unnamed: document.getElementById("unnamed"),
    };
    const sortField = form.querySelector("input[name=sort]");
    const orderField = form.querySelector("input[name=order]");
    let sortColumn = sortField ? sortField.value : "";
    let descending = orderField ? orderField.value === "desc" : false;
    let newSince = (document.getElementById("counts") || {dataset: {}}).dataset.newSince || "";
    let entityTag = "";
    let taggedQuery = "";
    let timer = 0;

    const status = document.createElement("p");
    status.className = "live-status";
    status.setAttribute("role", "status");
    const exports = document.querySelector(".exports");
    (exports || form).after(status);

    // A time as the filter field may hold it, as the API writes times:
    // "2026-12-07T14:00:00Z" (text compares like time then).
    function normalTime(text) {
        if (/^\d{4}-\d{2}-\d{2}$/.test(text)) return text + "T00:00:00Z";
        if (/^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}$/.test(text)) return text + ":00Z";
        if (/^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}$/.test(text)) return text + "Z";
        if (/^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z$/.test(text)) return text;
        return "";
    }

    function queryText() {
        const parts = [];
        const add = (name, value) => {
            if (value) parts.push(name + "=" + encodeURIComponent(value));
        };
        add("q", fields.q.value);
        add("state", fields.state.value);
        add("new_since", fields.newSince.value.trim());
        add("random", fields.random.checked ? "1" : "");
        add("unnamed", fields.unnamed.checked ? "1" : "");
        add("sort", sortColumn);
        add("order", descending ? "desc" : "");
        return parts.join("&");
    }

    function rowMatches(row) {
        const data = row.dataset;
        if (fields.state.value && data.state !== fields.state.value) return false;
        const since = normalTime(fields.newSince.value.trim());
        if (since && data.firstSeen < since) return false;
        if (fields.random.checked && data.random !== "1") return false;
        if (fields.unnamed.checked && data.named !== "0") return false;
        // The fields the server matches: hardware address and interface (in
        // data-device), name and note, vendor, addresses; not the marks.
        const text = fields.q.value.trim().toLowerCase();
        if (!text) return true;
        const cells = row.cells;
        const haystack = [data.device, cells[1].textContent, cells[2].textContent,
            cells[4].textContent].join("\n").toLowerCase();
        return haystack.includes(text);
    }

    function sortKey(row, index) {
        const cell = row.cells[index];
        const value = cell.dataset.value !== undefined ? cell.dataset.value : cell.textContent;
        return value.trim().toLowerCase();
    }

    function sortRows() {
        const index = headers.findIndex((th) => th.dataset.sort === (sortColumn || "addresses"));
        if (index < 0) return;
        const rows = Array.from(tbody.rows);
        rows.sort((a, b) => {
            const x = sortKey(a, index);
            const y = sortKey(b, index);
            let order = 0;
            if (x !== y) {
                // Empty values (no name, no vendor) after the rest.
                order = !x ? 1 : !y ? -1 : x < y ? -1 : 1;
                if (descending) order = -order;
            }
            return order || (a.dataset.device < b.dataset.device ? -1 : 1);
        });
        for (const row of rows) tbody.appendChild(row);
        for (const th of headers) {
            if (th.dataset.sort === sortColumn) {
                th.setAttribute("aria-sort", descending ? "descending" : "ascending");
            } else {
                th.removeAttribute("aria-sort");
            }
        }
    }

    function applyInPlace() {
        let shown = 0;
        for (const row of tbody.rows) {
            row.hidden = !rowMatches(row);
            shown += row.hidden ? 0 : 1;
        }
        sortRows();
        const shownCount = document.getElementById("shown");
        if (shownCount) shownCount.textContent = String(shown);
        const empty = document.getElementById("empty");
        if (empty) empty.hidden = shown > 0;
        const query = queryText();
        const suffix = query ? "?" + query : "";
        const csv = document.getElementById("export-csv");
        const json = document.getElementById("export-json");
        if (csv) csv.href = "/api/v1/devices.csv" + suffix;
        if (json) json.href = "/api/v1/devices" + suffix;
        if (sortField) sortField.value = sortColumn;
        history.replaceState(null, "", "/" + suffix);
    }

    function element(name, className, text) {
        const node = document.createElement(name);
        if (className) node.className = className;
        if (text !== undefined && text !== null) node.textContent = text;
        return node;
    }

    function timeElement(text) {
        const node = element("time", "", text);
        node.setAttribute("datetime", text);
        return node;
    }

    // The same key the server gives an addresses cell: the first address's
    // bytes in hexadecimal, IPv4 before IPv6.
    function addressKey(addresses) {
        if (!addresses.length) return "";
        const text = addresses[0].address;
        if (addresses[0].family === "ipv4") {
            return "4:" + text.split(".").map((part) => Number(part).toString(16).padStart(2, "0")).join("");
        }
        const halves = text.split("%")[0].split("::");
        const groups = (half) => (half ? half.split(":") : []);
        const head = groups(halves[0]);
        const tail = halves.length > 1 ? groups(halves[1]) : [];
        const middle = new Array(Math.max(0, 8 - head.length - tail.length)).fill("0");
        return "6:" + head.concat(middle, tail).map((group) => group.padStart(4, "0")).join("");
    }

    function deviceRow(device) {
        const row = document.createElement("tr");
        row.dataset.device = device.interface + "/" + device.hardware_address;
        row.dataset.state = device.state;
        row.dataset.random = device.locally_administered ? "1" : "0";
        row.dataset.named = device.known ? "1" : "0";
        row.dataset.firstSeen = device.first_seen;

        const hardware = element("td", "hw");
        const link = element("a", "", device.hardware_address);
        link.href = "/device/" + encodeURIComponent(device.interface) + "/" + device.hardware_address;
        hardware.appendChild(link);
        if (device.locally_administered) {
            const mark = element("abbr", "random", "random");
            mark.title = "locally administered (random)";
            hardware.append(" ", mark);
        }
        const name = element("td", "", device.name);
        name.dataset.value = device.name || "";
        if (device.note) name.append(" ", element("span", "note", device.note));
        const addresses = element("td");
        addresses.dataset.value = addressKey(device.addresses);
        const list = element("ul", "addresses");
        for (const address of device.addresses) {
            const item = element("li", address.answering ? "" : "silent", address.address);
            if (!address.answering) item.title = "not answering";
            list.appendChild(item);
        }
        addresses.appendChild(list);
        const first = element("td");
        first.appendChild(timeElement(device.first_seen));
        const last = element("td");
        last.appendChild(timeElement(device.last_seen));
        const state = element("td");
        state.dataset.value = device.state === "up" ? "0" : "1";
        state.appendChild(element("span", "state " + device.state, device.state));
        if (newSince && device.first_seen >= newSince) state.append(" ", element("span", "new", "new"));

        row.append(hardware, name, element("td", "", device.vendor), element("td", "", device.interface),
            addresses, first, last, state);
        return row;
    }

    function showCounts(counts) {
        const paragraph = document.getElementById("counts");
        if (!paragraph) return;
        newSince = counts.new_since;
        paragraph.dataset.newSince = counts.new_since;
        for (const span of paragraph.querySelectorAll("[data-count]")) {
            const value = counts[span.dataset.count];
            if (value !== undefined) {
                span.textContent = String(value);
                paragraph.dataset[span.dataset.count] = String(value);
            }
        }
    }

    // Records that cannot be read, kept in step with the server's box.
    function showRecordProblems(records) {
        const broken = records.filter((record) => !record.readable);
        let box = document.getElementById("record-problems");
        if (!broken.length && records.length) {
            if (box) box.remove();
            return;
        }
        if (!records.length) return; // the server's own notice stays
        if (!box) {
            box = element("div");
            box.id = "record-problems";
            box.setAttribute("role", "alert");
            box.append(element("h2", "", "Records that cannot be shown"),
                element("p", "", "The devices below leave out what these records hold."), element("ul"));
            const others = document.getElementById("other-problems");
            (others || form).before(box);
        }
        const list = box.querySelector("ul") || box.appendChild(element("ul"));
        list.replaceChildren(...broken.map((record) => {
            const item = element("li");
            item.dataset.record = record.path;
            item.append(element("code", "", record.path), " is ", element("strong", "", record.state),
                ": " + (record.problem || ""));
            return item;
        }));
    }

    async function poll() {
        clearTimeout(timer);
        timer = 0;
        if (document.hidden) return; // taken up again when the page shows
        const query = queryText();
        if (query !== taggedQuery) entityTag = "";
        try {
            const response = await fetch("/api/v1/devices" + (query ? "?" + query : ""), {
                headers: entityTag ? {"If-None-Match": entityTag} : {},
                cache: "no-store",
                credentials: "same-origin",
            });
            if (response.status === 200) {
                const documentJson = await response.json();
                entityTag = response.headers.get("ETag") || "";
                taggedQuery = query;
                showCounts(documentJson.counts);
                showRecordProblems(documentJson.records);
                tbody.replaceChildren(...documentJson.devices.map(deviceRow));
                applyInPlace();
                status.textContent = "";
            } else if (response.status === 400) {
                const problem = await response.json();
                status.textContent = problem.error;
            } else if (response.status !== 304) {
                status.textContent = "Live updates paused: the server answered " + response.status + ".";
            }
        } catch (error) {
            status.textContent = "Live updates paused: the server cannot be reached.";
        }
        if (!document.hidden) timer = setTimeout(poll, refresh);
    }

    // Sort buttons in the column heads: keyboard-usable, and the links
    // they replace still work where this script does not run.
    for (const th of headers) {
        const link = th.querySelector("a.sort");
        if (!link) continue;
        const button = element("button", "sort", link.textContent);
        button.type = "button";
        button.addEventListener("click", () => {
            descending = sortColumn === th.dataset.sort ? !descending : false;
            sortColumn = th.dataset.sort;
            if (orderField) orderField.value = descending ? "desc" : "asc";
            applyInPlace();
        });
        link.replaceWith(button);
    }

    form.addEventListener("submit", (event) => {
        event.preventDefault();
        applyInPlace();
        poll();
    });
    form.addEventListener("input", () => {
        applyInPlace();
        poll();
    });
    document.addEventListener("visibilitychange", () => {
        if (!document.hidden && !timer) poll();
    });
    applyInPlace();
    timer = setTimeout(poll, refresh);
})();

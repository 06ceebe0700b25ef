// The record forms: pages as tabs, cascading and auto-filling lookups, adding a lookup option, and
// the fields' own checks in the browser. Everything works without it; the server checks again.
(function () {
    'use strict';

    function field(form, name) {
        return form.querySelector('[name="f[' + name + ']"], [name="f[' + name + '][]"]');
    }

    // Pages of a form as tabs or pills: without script every page shows, one under another.
    function pages(box) {
        var list = Array.prototype.slice.call(box.querySelectorAll(':scope > fieldset.vm-page'));
        if (list.length < 2) return;
        var bar = document.createElement('div');
        bar.className = 'vm-tabs';
        bar.setAttribute('role', 'tablist');
        function show(i) {
            list.forEach(function (page, j) {
                page.hidden = i !== j;
                bar.children[j].setAttribute('aria-selected', String(i === j));
            });
        }
        list.forEach(function (page, i) {
            var tab = document.createElement('button');
            tab.type = 'button';
            tab.setAttribute('role', 'tab');
            tab.textContent = page.getAttribute('data-vm-caption');
            tab.addEventListener('click', function () { show(i); });
            bar.appendChild(tab);
            // a field the browser refuses on a hidden page: open that page
            page.addEventListener('invalid', function () { show(i); }, true);
        });
        box.insertBefore(bar, box.firstChild);
        box.classList.add('vm-pages-on');
        var first = list.findIndex(function (page) { return page.querySelector('.vm-invalid'); });
        show(first < 0 ? 0 : first);
    }

    function getJson(url) {
        return fetch(url, { credentials: 'same-origin', headers: { Accept: 'application/json' } })
            .then(function (r) { return r.json().then(function (data) { return { ok: r.ok, data: data }; }); });
    }

    function setOptions(select, options) {
        var keep = Array.prototype.slice.call(select.selectedOptions).map(function (o) { return o.value; });
        while (select.options.length > (select.multiple ? 0 : 1)) select.remove(select.multiple ? 0 : 1);
        options.forEach(function (o) {
            var option = new Option(o.label, o.value);
            option.selected = keep.indexOf(o.value) >= 0;
            select.add(option);
        });
        select.dispatchEvent(new Event('change', { bubbles: true }));
    }

    // A list filtered by its parents' values, asked again of the server when a parent changes.
    function cascade(form, select) {
        var parents = select.getAttribute('data-vm-parents').split(',');
        function reload() {
            var query = parents.map(function (p) {
                var input = field(form, p);
                return 'parent[' + encodeURIComponent(p) + ']=' + encodeURIComponent(input ? input.value : '');
            }).join('&');
            getJson(select.getAttribute('data-vm-lookup') + '?' + query).then(function (r) {
                if (r.ok) setOptions(select, r.data);
            });
        }
        parents.forEach(function (p) {
            var input = field(form, p);
            if (input) input.addEventListener('change', reload);
        });
    }

    // A lookup that copies values of the chosen row into other fields.
    function autofill(form, select) {
        select.addEventListener('change', function () {
            if (select.value === '') return;
            getJson(select.getAttribute('data-vm-lookup') + '?fill=' + encodeURIComponent(select.value)).then(function (r) {
                if (!r.ok) return;
                Object.keys(r.data).forEach(function (name) {
                    var input = field(form, name);
                    if (input && !input.readOnly) input.value = r.data[name];
                });
            });
        });
    }

    // "Add new": a row added to the lookup table, then chosen.
    function addOption(form, button) {
        var select = document.getElementById(button.getAttribute('data-vm-for'));
        button.hidden = false;
        button.addEventListener('click', function () {
            var label = window.prompt(button.getAttribute('data-vm-prompt'));
            if (!label) return;
            var body = new FormData();
            body.append('_csrf', form.querySelector('[name="_csrf"]').value);
            body.append('label', label);
            fetch(button.getAttribute('data-vm-add'), { method: 'POST', body: body, credentials: 'same-origin' })
                .then(function (r) { return r.json(); })
                .then(function (o) {
                    if (o.error) { window.alert(o.error); return; }
                    var option = new Option(o.label, o.value, true, true);
                    select.add(option);
                    select.dispatchEvent(new Event('change', { bubbles: true }));
                })
                .catch(function () { window.alert(button.getAttribute('data-vm-failed')); });
        });
    }

    // The field's own checks: minimum, maximum, file count, and its own message.
    function check(input) {
        input.setCustomValidity('');
        var v = input.value, message = input.getAttribute('data-vm-message');
        var min = input.getAttribute('data-vm-min'), max = input.getAttribute('data-vm-max');
        var numeric = v !== '' && !isNaN(Number(v)) && (min === null || !isNaN(Number(min))) && (max === null || !isNaN(Number(max)));
        function below(a, b) { return numeric ? Number(a) < Number(b) : a < b; }
        var bad = v !== '' && ((min !== null && below(v, min)) || (max !== null && below(max, v)));
        var most = input.getAttribute('data-vm-max-files');
        if (most && input.files && input.files.length > Number(most)) bad = true;
        if (bad || (message && !input.validity.valid)) {
            input.setCustomValidity(message || input.title || ' ');
        }
    }

    function start(form) {
        Array.prototype.forEach.call(form.querySelectorAll('[data-vm-pages]'), pages);
        Array.prototype.forEach.call(form.querySelectorAll('select[data-vm-parents]'), function (s) { cascade(form, s); });
        Array.prototype.forEach.call(form.querySelectorAll('select[data-vm-fill]'), function (s) { autofill(form, s); });
        Array.prototype.forEach.call(form.querySelectorAll('button[data-vm-add]'), function (b) { addOption(form, b); });
        Array.prototype.forEach.call(form.querySelectorAll('[data-vm-min], [data-vm-max], [data-vm-message], [data-vm-max-files]'),
            function (input) {
                ['input', 'change'].forEach(function (e) { input.addEventListener(e, function () { check(input); }); });
                check(input);
            });
    }

    document.addEventListener('DOMContentLoaded', function () {
        Array.prototype.forEach.call(document.querySelectorAll('form.vm-form'), start);
    });
})();

#!/usr/bin/python3
"""HTTP checks of a Velmora PHP application built for the demo shop (examples/demo/shop.sql).

    /usr/bin/python3 tests/app/http_app_test.py --app DIR --security none|table|hardcoded [unittest options]

DIR is an application generated with the demo rows on SQLite,
PostgreSQL or MariaDB, served by `php -S`; page names and tables are read from the application, a
PHP warning in the server's output fails the test, and stored rows are read through tests/app/sql.php.
Some tests add rows; a server database is best reloaded from the demo SQL before a run.
"""
import argparse
import csv
import datetime
import email
import email.policy
import html
import http.cookiejar
import io
import json
import os
import shutil
import re
import socket
import struct
import subprocess
import sys
import time
import types
import unittest
import urllib.error
import urllib.parse
import urllib.request
import uuid
import xml.etree.ElementTree as ET
import zipfile
import zlib

import lxml.html

ARGS = None
SERVER = None
BASE = ''
LOG_PATH = ''
MAIL_DIR = ''     # where the SMTP sink keeps the application's mail
APP = {}          # 'config', 'tables' (by SQL name), 'phrases'
RUN = uuid.uuid4().hex[:8]
CREDENTIALS = {'table': ('laura', 'demo'), 'hardcoded': ('admin', 'admin')}
BAD_LOG = re.compile(r'Warning|Notice|Deprecated|Fatal|Parse error|velmora error')


# ---------------------------------------------------------------- the application under test

def load_app(app_dir):
    """Config and table descriptions, as PHP sees them, plus the phrases of the language file."""
    code = r'''
        $dir = $argv[1];
        $tables = [];
        foreach (glob($dir . '/tables/*.php') as $f) { $tables[basename($f, '.php')] = require $f; }
        echo json_encode(['config' => require $dir . '/config.php', 'tables' => $tables]);
    '''
    out = subprocess.run(['php', '-r', code, app_dir], check=True, capture_output=True, text=True).stdout
    data = json.loads(out)
    tables = {}
    for var, t in data['tables'].items():
        t['var'] = t.get('var') or var
        tables[t['name']] = t
    language = data['config'].get('language', 'english')
    text = open(os.path.join(app_dir, 'lang', language + '.xml'), encoding='utf-8').read()
    phrases = {m.group(1): html.unescape(m.group(2))
               for m in re.finditer(r'<phrase\s+id="([^"]+)"\s+value="([^"]*)"', text)}
    return {'config': data['config'], 'tables': tables, 'phrases': phrases}


def page(table, kind):
    return APP['tables'][table]['var'] + kind + '.php'


def phrase(pid):
    return APP['phrases'].get(pid, pid)


def caption(table, col):
    return APP['tables'][table]['fields'][col]['caption']


SQL_HELPER = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'sql.php')


def sql(statement, *params):
    """Rows of a statement run on the application's database, as dicts of text (or None).
    Identifiers are double-quoted; parameters are bound as text."""
    done = subprocess.run(['php', SQL_HELPER, ARGS.app, statement] + [str(p) for p in params],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f'{statement}: {done.stderr.strip() or done.stdout.strip()}')
    return json.loads(done.stdout)


def db_value(statement, *params):
    rows = sql(statement, *params)
    return None if not rows else next(iter(rows[0].values()))


def db_row(statement, *params):
    rows = sql(statement, *params)
    return rows[0] if rows else None


def db_column(statement, *params):
    return [next(iter(r.values())) for r in sql(statement, *params)]


def count(table, where='1=1', *params):
    return int(db_value(f'SELECT COUNT(*) AS n FROM "{table}" WHERE {where}', *params))


# ---------------------------------------------------------------- HTTP

class Response:
    def __init__(self, status, headers, body, url):
        self.status, self.headers, self.url = status, headers, url
        self.raw = body
        self.body = body.decode('utf-8', 'replace')
        self.text = html.unescape(self.body)

    def header(self, name):
        return self.headers.get(name, '')


class _NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args, **kwargs):
        return None


class Client:
    """A browser: keeps cookies, does not follow redirects unless asked."""

    def __init__(self, headers=None):
        self.headers = headers or {}
        self.jar = http.cookiejar.CookieJar()
        self.opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(self.jar), _NoRedirect)

    def request(self, path, data=None, follow=False, files=None, method=None):
        url = path if path.startswith('http') else BASE + path
        body, headers = None, dict(self.headers)
        if files is not None:
            body, headers['Content-Type'] = multipart(data or [], files)
        elif data is not None:
            body = urllib.parse.urlencode(data, doseq=True).encode()
        req = urllib.request.Request(url, data=body, headers=headers, method=method)
        try:
            with self.opener.open(req, timeout=30) as r:
                resp = Response(r.status, r.headers, r.read(), url)
        except urllib.error.HTTPError as e:
            resp = Response(e.code, e.headers, e.read(), url)
        if follow and resp.status in (301, 302, 303, 307):
            return self.request(urllib.parse.urljoin(url, resp.header('Location')), follow=True)
        return resp

    def get(self, path, **kw):
        return self.request(path, **kw)

    def post(self, path, data, **kw):
        return self.request(path, data=data, **kw)

    def form(self, path, index=-1):
        """The page and its form (the last one unless told: the header may hold a logout form)."""
        r = self.get(path)
        assert r.status == 200, f'{path}: status {r.status}'
        forms = parse_forms(r.body)
        assert forms, f'{path}: no form'
        return r, forms[index]

    def submit(self, form, changes=None, drop=(), follow=False, files=None):
        """Posts the form; with files ({name: (filename, bytes)}) as multipart/form-data."""
        fields = [(k, v) for k, v in form['fields'] if k not in (changes or {}) and k not in drop]
        fields += list((changes or {}).items())
        return self.request(urllib.parse.urljoin(BASE, form['action']), fields, follow=follow, files=files)

    def post_form(self, path, changes=None, **kw):
        """Loads the page's form and posts it with the changes."""
        _, form = self.form(path)
        return self.submit(form, changes, **kw)

    def session_id(self):
        ids = [c.value for c in self.jar if c.name.startswith('VMSESS') or 'SESS' in c.name.upper()]
        return ids[0] if ids else None

    def login(self, user=None, password=None, path='login.php', extra=None):
        """Posts the login form, with the run's own credentials unless told."""
        if user is None:
            user, password = CREDENTIALS[ARGS.security]
        _, form = self.form(path)
        return self.submit(form, dict(extra or {}, username=user, password=password))


def multipart(fields, files):
    """The body and content type of a multipart/form-data post."""
    boundary = 'vm' + uuid.uuid4().hex
    parts = []
    for name, value in fields:
        parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n'.encode()
                     + str(value).encode() + b'\r\n')
    for name, (filename, content) in (files.items() if isinstance(files, dict) else files):
        parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"; filename="{filename}"\r\n'
                     f'Content-Type: application/octet-stream\r\n\r\n'.encode() + content + b'\r\n')
    parts.append(f'--{boundary}--\r\n'.encode())
    return b''.join(parts), f'multipart/form-data; boundary={boundary}'


def logged_in_client():
    c = Client()
    if ARGS.security != 'none':
        r = c.login()
        assert r.status in (302, 303), f'login failed: {r.status}'
    return c


def document(body):
    return lxml.html.document_fromstring(body) if body.strip() else lxml.html.Element('html')


def parse_forms(body):
    """Per form: action, method, the fields a browser would post (in order), drop-down options, control attributes."""
    forms = []
    for f in document(body).iter('form'):
        form = {'action': f.get('action', ''), 'method': f.get('method', 'get').lower(),
                'fields': [], 'options': {}, 'attrs': {}}
        for control in f.iter('input', 'select', 'textarea'):
            a = dict(control.attrib)
            name = a.get('name', '')
            form['attrs'][name] = a   # what a control says of itself: required, inputmode...
            if control.tag == 'select':
                options = [(o.get('value', ''), o.text_content().strip(), 'selected' in o.attrib)
                           for o in control.iter('option')]
                form['options'][name] = [(value, label) for value, label, _ in options]
                chosen = [value for value, _, selected in options if selected] or [v for v, _, _ in options[:1]]
                form['fields'].append((name, chosen[-1] if chosen else ''))
            elif control.tag == 'textarea':
                form['fields'].append((name, control.text or ''))
            elif 'name' in a and a.get('type') not in ('submit', 'button', 'file') and (
                    a.get('type') not in ('checkbox', 'radio') or 'checked' in a):
                form['fields'].append((name, a.get('value', '')))
        forms.append(form)
    return forms


def form_value(form, name):
    values = [v for k, v in form['fields'] if k == name]
    return values[-1] if values else None


def grid(body):
    """The first data grid of a page: header captions, and per row its cell texts and links."""
    g = types.SimpleNamespace(headers=[], rows=[])
    tables = document(body).xpath('//table[contains(@class, "vm-grid")]')
    if tables:
        def texts(row):   # the links to a master's details are not a column of the table
            return [' '.join(c.text_content().split()) for c in row.xpath('td|th')
                    if 'vm-detail-links' not in c.get('class', '')]
        for tr in tables[0].iter('tr'):
            if tr.getparent().tag == 'thead':
                g.headers += texts(tr)
            else:
                g.rows.append({'cells': texts(tr), 'links': [a.get('href', '') for a in tr.iter('a')]})
    return g


def column(g, table, col):
    """The cell texts of a column of the grid, found by its caption."""
    idx = [h.rstrip(' \u25b2\u25bc') for h in g.headers].index(caption(table, col))
    return [r['cells'][idx] for r in g.rows]


# ---------------------------------------------------------------- server

def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def start_server(app_dir):
    global SERVER, BASE, LOG_PATH
    port = free_port()
    LOG_PATH = os.path.join(app_dir, '.php-server.log') if os.access(app_dir, os.W_OK) else '/tmp/velmora-php-server.log'
    log = open(LOG_PATH, 'w')
    SERVER = subprocess.Popen(['php', '-d', 'error_reporting=E_ALL', '-d', 'display_errors=stderr',
                               '-d', 'log_errors=0', '-S', f'127.0.0.1:{port}', '-t', app_dir,
                               os.path.join(app_dir, 'router.php')],
                              stdout=log, stderr=subprocess.STDOUT,
                              env=dict(os.environ, VELMORA_TRUSTED_PROXIES='127.0.0.1'))
    BASE = f'http://127.0.0.1:{port}/'
    for _ in range(100):
        try:
            with socket.create_connection(('127.0.0.1', port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError('php -S did not start')


def start_mail_sink(app_dir):
    """Points the application's SMTP settings at a sink (tests/app/smtp_sink.py) on a free port."""
    global MAIL_DIR
    config = os.path.join(app_dir, 'config.php')
    text = open(config, encoding='utf-8').read()
    if "'smtp' =>" not in text or not os.access(config, os.W_OK):
        return None
    port, folder = free_port(), os.path.join(app_dir, '.mail')
    shutil.rmtree(folder, ignore_errors=True)
    sink = subprocess.Popen(['/usr/bin/python3', os.path.join(os.path.dirname(SQL_HELPER), 'smtp_sink.py'), str(port), folder],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if sink.stdout.readline().strip() != 'ready':
        return None
    text = re.sub(r"('smtp' => \[\s*'host' => )'[^']*',(\s*'port' => )\d+", rf"\1'127.0.0.1',\g<2>{port}", text)
    open(config, 'w', encoding='utf-8').write(text)
    MAIL_DIR = folder
    return sink


def stop_server():
    if SERVER is not None:
        SERVER.terminate()
        SERVER.wait(10)


class ServerLogTest(unittest.TestCase):
    """Fails a test whose requests made the PHP server report a problem."""

    def setUp(self):
        self.log_offset = os.path.getsize(LOG_PATH)

    def tearDown(self):
        time.sleep(0.05)
        with open(LOG_PATH, errors='replace') as f:
            f.seek(self.log_offset)
            bad = [line for line in f if BAD_LOG.search(line)]
        self.assertEqual(bad, [], 'the PHP server reported problems')


class AppTest(ServerLogTest):
    """Base: a logged-in client per test."""

    def setUp(self):
        super().setUp()
        self.c = logged_in_client()

    def assertOk(self, r, status=200):
        self.assertEqual(r.status, status, f'{r.url}: {r.body[:400]}')
        self.assertNotIn(phrase('ServerError'), r.text)

    def get_ok(self, path):
        """The response of a page that must load."""
        r = self.c.get(path)
        self.assertOk(r)
        return r

    def grid(self, path):
        """The data grid of a page that must load."""
        return grid(self.get_ok(path).body)

    def assertBadToken(self, r):
        self.assertEqual(r.status, 400)
        self.assertIn(phrase('BadCsrf'), r.text)

    def assertStored(self, r):
        self.assertEqual(r.status, 303, f'not saved: {r.url}: {r.text[-1500:]}')
        self.assertTrue(r.header('Location'), 'redirect without a location')

    def new_id(self, table, key, where, *params):
        return db_value(f'SELECT "{key}" FROM "{table}" WHERE {where} ORDER BY "{key}" DESC', *params)


# ---------------------------------------------------------------- checks

class RouterTests(AppTest):
    def test_private_paths_are_not_served(self):
        db_file = os.path.relpath(APP['config']['db'].get('path') or os.path.join(ARGS.app, 'db/shop.db'), ARGS.app)
        # a regeneration's conflict (.new) and backup (.bak) hold page source, its manifest the file list
        lst = page('orders', 'list')
        for leftover in ['.new', '.bak']:
            shutil.copyfile(os.path.join(ARGS.app, lst), os.path.join(ARGS.app, lst + leftover))
        try:
            for path in [db_file, 'lib/runtime.php', 'lib/', 'config.php', 'router.php', 'lang/english.xml',
                         'tables/' + APP['tables']['orders']['var'] + '.php', '.htaccess', 'lib/.htaccess',
                         'lib%2Fruntime.php', lst + '/config.php', 'uploads/', 'no-such-page.php', 'data/',
                         'data/logins.json', 'README.md', lst + '.new', lst + '.bak', '.velmora/manifest.json',
                         '.velmora/base.zip']:
                r = Client().get(path)
                self.assertEqual(r.status, 404, path)
                self.assertNotIn('<?php', r.body, path)
        finally:
            for leftover in ['.new', '.bak']:
                os.remove(os.path.join(ARGS.app, lst + leftover))

    def test_root_goes_to_the_default_page(self):
        r = Client().get('')
        self.assertEqual(r.status, 302)
        self.assertTrue(r.header('Location').endswith(APP['config']['default_page']))


class ListTests(AppTest):
    def test_rows_and_captions(self):
        g = self.grid(page('orders', 'list'))
        for col, f in APP['tables']['orders']['fields'].items():
            if f['list']:
                self.assertIn(f['caption'], g.headers)
        self.assertEqual(len(g.rows), min(count('orders'), APP['tables']['orders']['rec_per_page'] or 20))
        # lookups show the display value, fixed values their label
        self.assertIn('Paid', column(g, 'orders', 'status'))
        self.assertTrue(all(re.match(r'^[^0-9].*, ', v) for v in column(g, 'orders', 'customer_id')))

    def test_paging(self):
        first = self.grid(page('products', 'list')).rows
        second = self.grid(page('products', 'list') + '?page=2').rows
        self.assertTrue(second)
        self.assertNotEqual(first[0]['cells'], second[0]['cells'])
        start = self.grid(page('products', 'list') + '?start=21').rows
        self.assertEqual(start[0]['cells'], second[0]['cells'])
        for junk in ['start=abc', 'page=abc', 'start=-5', 'page[]=2', 'start=1e3']:
            self.assertEqual(self.grid(page('products', 'list') + '?' + junk).rows[0]['cells'], first[0]['cells'], junk)
        last = self.grid(page('products', 'list') + '?page=9999')
        self.assertTrue(last.rows, 'a page past the end shows the last page')

    def test_sort(self):
        # the database's collation decides the order; an unknown direction sorts ascending
        for direction, sql_direction in [('desc', 'DESC'), ('evil', '')]:
            shown = column(self.grid(page('products', 'list') + '?order=name&dir=' + direction), 'products', 'name')
            names = db_column(f'SELECT name FROM products ORDER BY name {sql_direction}, product_id')
            self.assertEqual(shown, names[:len(shown)], direction)
        plain = self.grid(page('products', 'list')).rows
        for q in ['order=unknown', 'order=unknown&dir=evil', 'order[]=name']:
            r = self.get_ok(page('products', 'list') + '?' + q)
            self.assertEqual(grid(r.body).rows, plain, q)
            self.assertNotIn('unknown', r.body, 'a refused sort column is not carried into links')

    def test_quick_search(self):
        names = column(self.grid(page('customers', 'list') + '?q=' + urllib.parse.quote("O'Brien")), 'customers',
                       'last_name')
        self.assertEqual(len(names), count('customers', "last_name = 'O''Brien'"))
        self.assertTrue(names and all(n == "O'Brien" for n in names))
        # a LIKE wildcard typed by the user is taken literally
        self.assertEqual(self.grid(page('customers', 'list') + '?q=%25').rows, [])
        # a lookup column matches by its displayed text
        customers = column(self.grid(page('orders', 'list') + '?q=Bianchi'), 'orders', 'customer_id')
        self.assertTrue(customers and all('Bianchi' in v for v in customers))
        # whatever the database's LIKE, the search ignores case
        self.assertEqual(column(self.grid(page('orders', 'list') + '?q=bIANCHI'), 'orders', 'customer_id'), customers)
        # other letters too, where the database folds them (SQLite's LIKE folds ASCII only)
        if APP['config']['db'].get('type', 'sqlite') != 'sqlite':
            found = [column(self.grid(page('customers', 'list') + '?q=' + urllib.parse.quote(q)), 'customers',
                            'last_name') for q in ('müller', 'MÜLLER')]
            self.assertTrue(found[0] and found[0] == found[1] and all(n == 'Müller' for n in found[0]), found)
        # ... and matches a lookup displayed by a number column (order lines by their order)
        if APP['tables']['order_lines']['fields']['order_id']['search']:
            self.assertEqual(column(self.grid(page('order_lines', 'list') + '?q=100'), 'order_lines', 'line_id'),
                             db_column('SELECT line_id FROM order_lines WHERE order_id = 100 ORDER BY line_id'))

    def test_booleans_and_dates_read_alike_on_every_database(self):
        shown = column(self.grid(page('products', 'list')), 'products', 'discontinued')
        stored = db_column('SELECT discontinued FROM products ORDER BY product_id')[:len(shown)]
        self.assertIn('1', stored, 'the first page holds a discontinued product')
        self.assertEqual(shown, [phrase('Yes') if v == '1' else phrase('No') for v in stored])
        shown = column(self.grid(page('customers', 'list')), 'customers', 'joined')
        stored = db_column('SELECT joined FROM customers ORDER BY customer_id')[:len(shown)]
        self.assertTrue(all(re.match(r'^\d{4}-\d{2}-\d{2}$', v) for v in stored))
        self.assertEqual(shown, stored)


class SearchTests(AppTest):
    def total(self, url):
        r = self.get_ok(url)
        self.assertNotIn('SQLSTATE', r.text, url)
        m = re.search(re.escape(phrase('RecordsFrom')).replace(r'\{from\}', r'\d+').replace(r'\{to\}', r'\d+')
                      .replace(r'\{total\}', r'(\d+)'), r.text)
        return int(m.group(1)) if m else 0

    def test_operators_match_the_database(self):
        """Each operator and quick search type against the rows, values bound; bad input is ignored."""
        all_rows = 'name IS NOT NULL'
        cases = [  # (table, query, SQL condition, SQL values)
            ('products', {'z[name]': 'LIKE', 'x[name]': 'item 0'}, 'name LIKE ?', ['%item 0%']),
            ('products', {'z[name]': 'NOT LIKE', 'x[name]': 'Bakery'}, 'name NOT LIKE ?', ['%Bakery%']),
            ('products', {'z[name]': 'STARTS WITH', 'x[name]': 'Dairy'}, 'name LIKE ?', ['Dairy%']),
            ('products', {'z[name]': 'ENDS WITH', 'x[name]': '7'}, 'name LIKE ?', ['%7']),
            ('products', {'z[name]': '=', 'x[name]': 'Bakery item 02'}, 'name = ?', ['Bakery item 02']),
            ('products', {'z[name]': 'IS NULL'}, 'name IS NULL', []),
            ('products', {'z[name]': 'IS NOT NULL'}, all_rows, []),
            ('products', {'z[unit_price]': '<', 'x[unit_price]': '10'}, 'unit_price < 10', []),
            ('products', {'z[unit_price]': '<=', 'x[unit_price]': '10.5'}, 'unit_price <= 10.5', []),
            ('products', {'z[unit_price]': '>', 'x[unit_price]': '40'}, 'unit_price > 40', []),
            ('products', {'z[unit_price]': '>=', 'x[unit_price]': '40'}, 'unit_price >= 40', []),
            ('products', {'z[unit_price]': '<>', 'x[unit_price]': '10.75'}, 'unit_price <> 10.75', []),
            ('products', {'z[unit_price]': 'BETWEEN', 'x[unit_price]': '5', 'y[unit_price]': '20.5'},
             'unit_price BETWEEN 5 AND 20.5', []),
            ('products', {'x[units_in_stock]': '20', 'y[units_in_stock]': '60'},
             'units_in_stock >= 20 AND units_in_stock <= 60', []),
            ('products', {'x[units_in_stock]': '100', 'y[units_in_stock]': '5', 'c[units_in_stock]': 'OR'},
             '(units_in_stock >= 100 OR units_in_stock <= 5)', []),
            ('products', {'x[discontinued]': '1'}, 'discontinued', []),
            ('products', {'x[category_id]': '2', 'x[units_in_stock]': '50'}, 'category_id = 2 AND units_in_stock >= 50', []),
            ('customers', {'x[joined]': '2023-06-01', 'y[joined]': '2024-01-31'}, 'joined BETWEEN ? AND ?',
             ['2023-06-01', '2024-01-31']),
            ('products', {'q': 'Bakery "item 1"', 'qt': 'AND'}, 'name LIKE ? AND name LIKE ?', ['%Bakery%', '%item 1%']),
            ('products', {'q': 'Dairy Bakery', 'qt': 'OR'}, 'name LIKE ? OR name LIKE ?', ['%Dairy%', '%Bakery%']),
            ('products', {'q': 'Dairy Bakery'}, 'name LIKE ?', ['%Dairy Bakery%']),
            # injection attempts: an unknown operator falls back to the field's own, values are values,
            # a value that does not fit the column is left out, an unknown column is ignored
            ('products', {'z[name]': "= '' OR 1=1 --", 'x[name]': 'item 0'}, 'name LIKE ?', ['%item 0%']),
            ('products', {'z[name]': '=', 'x[name]': "x' OR '1'='1"}, '1 = 0', []),
            ('products', {'z[name]': 'STARTS WITH', 'x[name]': '_'}, '1 = 0', []),  # a wildcard typed is literal
            ('products', {'z[unit_price]': '>', 'x[unit_price]': '0 OR 1=1'}, all_rows, []),
            ('products', {'x[name) OR 1=1 --]': 'x', 'x[units_in_stock]': "1; DROP TABLE products"}, all_rows, []),
        ]
        for table, query, where, values in cases:
            with self.subTest(table=table, query=query):
                url = page(table, 'list') + '?' + urllib.parse.urlencode(query)
                self.assertEqual(self.total(url), count(table, where, *values))

    def test_search_is_kept_until_cleared_and_marks_matches(self):
        lst = page('products', 'list')
        found = self.total(lst + '?q=Dairy')
        self.assertLess(found, count('products'))
        self.assertEqual(self.total(lst), found, 'the search is kept in the session')
        self.assertIn('<mark class="vm-highlight">Dairy</mark>', self.c.get(lst).body)
        self.assertEqual(self.total(lst + '?cmd=reset'), count('products'))
        self.assertEqual(self.total(lst), count('products'))
        r = self.c.get(lst + '?x[unit_price]=abc&z[unit_price]=%3E')
        self.assertIn(phrase('SearchValueInvalid').replace('{field}', caption('products', 'unit_price')), r.text)

    def test_multi_delete_is_all_or_nothing(self):
        names = [f'M{RUN}{i}' for i in range(3)]
        for n in names:
            self.assertStored(self.c.post_form(page('categories', 'add'), {'f[name]': n}))
        ids = [self.new_id('categories', 'category_id', 'name = ?', n) for n in names]
        r, form = self.c.form(page('categories', 'list') + f'?q=M{RUN}')
        self.assertEqual(len(re.findall(r'name="keys\[\]"', r.body)), 3)
        used = db_value('SELECT MIN(category_id) AS c FROM products')
        cases = [  # (keys posted, status, categories left of those)
            ([ids[0], used], 409, [ids[0], used]),                 # a product refers to one: none deleted
            ([ids[0], ids[1]], 303, []),
            (['{"category_id": [1]}'], 400, []),
            ([ids[2], '99999999'], 404, [ids[2]]),
        ]
        for keys, status, left in cases:
            with self.subTest(keys=keys):
                posted = [k if str(k).startswith('{') else json.dumps({'category_id': str(k)}) for k in keys]
                r = self.c.post(form['action'], [('_csrf', form_value(form, '_csrf'))] + [('keys[]', k) for k in posted])
                self.assertEqual(r.status, status)
                plain = [k for k in keys if not str(k).startswith('{')]
                self.assertEqual(sorted(db_column('SELECT category_id FROM categories WHERE category_id IN ('
                                                  + ','.join('?' * len(plain)) + ')', *plain) if plain else []),
                                 sorted(str(k) for k in left))


class RecordTests(AppTest):
    def test_missing_record_is_404(self):
        for q in ['?key[customer_id]=999999', '', '?key=1', '?key[other]=1', '?key[customer_id][]=1']:
            for kind in ('view', 'edit', 'delete'):
                r = self.c.get(page('customers', kind) + q)
                self.assertEqual(r.status, 404, kind + q)
                self.assertIn(phrase('NoRecord'), r.text)

    def test_add_valid(self):
        email = f'new.{RUN}@example.com'
        self.assertStored(self.c.post_form(page('customers', 'add'), {
            'f[first_name]': 'Nina', 'f[last_name]': 'Test', 'f[email]': email, 'f[phone]': '', 'f[city]': 'Bari',
            'f[joined]': '2024-05-06'}))
        row = db_row('SELECT * FROM customers WHERE email = ?', email)
        self.assertEqual((row['first_name'], row['city'], row['joined']), ('Nina', 'Bari', '2024-05-06'))
        self.assertIsNone(row['phone'], 'an empty optional field stores NULL')

    def test_invalid_values_are_refused_and_kept(self):
        cases = [  # table, posted values, messages
            ('customers', {'f[first_name]': '', 'f[last_name]': f'Kept{RUN}', 'f[email]': 'not-an-email',
                           'f[joined]': '2024-02-30'}, ['FieldRequired', 'InvalidEmail', 'InvalidDate']),
            ('products', {'f[name]': 'x' * 101, 'f[category_id]': '9999', 'f[unit_price]': '12,5',
                          'f[units_in_stock]': 'abc'}, ['InvalidInteger', 'InvalidNumber', 'InvalidValue', 'TooLong']),
            ('orders', {'f[customer_id]': '1', 'f[order_date]': '2024-01-01', 'f[status]': 'stolen'}, ['InvalidValue']),
            # a NUL byte and a number beyond the float range are refused, not stored as text or INF
            ('products', {'f[name]': f'nul\x00{RUN}', 'f[unit_price]': '1e999', 'f[units_in_stock]': '1'},
             ['InvalidCharacter', 'NumberOutOfRange']),
        ]
        for table, values, messages in cases:
            before = count(table)
            r = self.c.post_form(page(table, 'add'), values)
            self.assertOk(r)
            for pid in messages:
                self.assertIn(phrase(pid).replace('{max}', '100'), r.text, pid)
            self.assertEqual(count(table), before)
            for k in {'f[last_name]', 'f[email]'} & values.keys():
                self.assertEqual(form_value(parse_forms(r.body)[-1], k), values[k], 'the typed value is kept')

    def test_edit_and_checkbox(self):
        url = page('products', 'edit') + '?key[product_id]=7'
        _, form = self.c.form(url)
        self.assertEqual(form_value(form, 'f[name]'), db_value('SELECT name FROM products WHERE product_id = 7'))
        r = self.c.submit(form, {'f[name]': f'Renamed {RUN}', 'f[discontinued]': '1', 'f[product_id]': '999'})
        self.assertStored(r)
        row = db_row('SELECT * FROM products WHERE product_id = 7')
        self.assertEqual((row['name'], row['discontinued']), (f'Renamed {RUN}', '1'))
        self.assertEqual(count('products', 'product_id = 999'), 0, 'a generated key is never written')
        _, form = self.c.form(url)
        r = self.c.submit(form, drop=[k for k, v in form['fields'] if k == 'f[discontinued]' and v == '1'])
        self.assertStored(r)
        self.assertEqual(db_value('SELECT discontinued FROM products WHERE product_id = 7'), '0')

    def test_delete_confirms_then_deletes_unless_a_foreign_key_refuses(self):
        sql('INSERT INTO categories (name) VALUES (?)', f'Doomed {RUN}')
        cid = self.new_id('categories', 'category_id', 'name = ?', f'Doomed {RUN}')
        url = page('categories', 'delete') + f'?key[category_id]={cid}'
        r, form = self.c.form(url)
        self.assertIn(phrase('DeleteConfirm'), r.text)
        self.assertIn(f'Doomed {RUN}', r.text)
        self.assertEqual(count('categories', 'category_id = ?', cid), 1, 'GET deletes nothing')
        self.assertEqual(self.c.submit(form).status, 303)
        self.assertEqual(count('categories', 'category_id = ?', cid), 0)
        # one a foreign key refers to stays, and the page says so
        r = self.c.post_form(page('categories', 'delete') + '?key[category_id]=1')
        self.assertIn(r.status, (200, 409))
        self.assertIn(phrase('DeleteFailed'), r.text)
        self.assertEqual(count('categories', 'category_id = 1'), 1)

    def test_concurrent_change_is_refused(self):
        url = page('orders', 'edit') + '?key[order_id]=9'
        _, form = self.c.form(url)
        sql('UPDATE orders SET notes = ? WHERE order_id = 9', f'other user {RUN}')
        r = self.c.submit(form, {'f[notes]': f'mine {RUN}'})
        self.assertIn(r.status, (200, 409))
        self.assertIn(phrase('RecordChanged'), r.text)
        self.assertEqual(db_value('SELECT notes FROM orders WHERE order_id = 9'), f'other user {RUN}')
        # the form now carries the current row: saving it again is accepted
        r = self.c.submit(parse_forms(r.body)[-1], {'f[notes]': f'mine {RUN}'})
        self.assertStored(r)
        self.assertEqual(db_value('SELECT notes FROM orders WHERE order_id = 9'), f'mine {RUN}')


class LookupTests(AppTest):
    def test_drop_down_holds_the_lookup_rows(self):
        _, form = self.c.form(page('products', 'add'))
        options = dict(form['options']['f[category_id]'])
        for row in sql('SELECT category_id, name FROM categories'):
            self.assertEqual(options.get(row['category_id']), row['name'])
        _, form = self.c.form(page('orders', 'add'))
        options = dict(form['options']['f[customer_id]'])
        row = db_row('SELECT last_name, first_name FROM customers WHERE customer_id = 4')
        self.assertEqual(options['4'], f"{row['last_name']}, {row['first_name']}", 'display fields joined with a comma')
        labels = [label for value, label in form['options']['f[customer_id]'] if value]
        ordered = sql('SELECT last_name, first_name FROM customers ORDER BY last_name, first_name')
        self.assertEqual(labels, [f"{r['last_name']}, {r['first_name']}" for r in ordered])

    def test_lookup_filter(self):
        _, form = self.c.form(page('order_lines', 'add'))
        values = {v for v, _ in form['options']['f[product_id]'] if v}
        self.assertNotIn('11', values, 'a discontinued product is filtered out')
        self.assertIn('10', values)

    def test_json_endpoint(self):
        var = APP['tables']['products']['var']
        names = sorted(n for n in os.listdir(ARGS.app) if n.startswith(var + '_') and n.endswith('lookup.php')
                       and 'category_id' in n)
        if not names:
            self.skipTest('no lookup page for products.category_id')
        r = self.get_ok(names[0])
        self.assertIn('application/json', r.header('Content-Type'))
        data = json.loads(r.body)
        self.assertEqual(len(data), count('categories'))
        self.assertIn({'value': '3', 'label': 'Dairy'}, data)
        self.assertEqual([d['label'] for d in json.loads(self.c.get(names[0] + '?q=bak').body)], ['Bakery'])


class MasterDetailTests(AppTest):
    def test_detail_list_is_filtered(self):
        r = self.get_ok(page('order_lines', 'list') + '?master=orders&fk_order_id=7')
        shown = column(grid(r.body), 'order_lines', 'line_id')
        lines = db_column('SELECT line_id FROM order_lines WHERE order_id = 7 ORDER BY line_id')
        self.assertEqual(shown, lines)
        self.assertIn(APP['tables']['orders']['caption'], r.text)

    def test_master_view_shows_its_details_and_adds_one(self):
        r = self.get_ok(page('orders', 'view') + '?key[order_id]=5')
        lines = db_column('SELECT line_id FROM order_lines WHERE order_id = 5 ORDER BY line_id')
        self.assertEqual(column(grid(r.body), 'order_lines', 'line_id'), lines)
        add = [h for h in re.findall(r'href="([^"]+)"', r.body) if html.unescape(h).startswith(page('order_lines', 'add'))]
        self.assertTrue(add, 'a link adds a detail row')
        _, form = self.c.form(html.unescape(add[0]))
        self.assertEqual(form_value(form, 'f[order_id]'), '5', 'the link value is prefilled')
        r = self.c.submit(form, {'f[product_id]': '2', 'f[quantity]': '3', 'f[unit_price]': '4.5'})
        self.assertStored(r)
        self.assertIn(page('orders', 'view'), r.header('Location'))
        self.assertEqual(count('order_lines', 'order_id = 5'), len(lines) + 1)


OOXML = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main',
         'w': 'http://schemas.openxmlformats.org/wordprocessingml/2006/main'}


def xlsx_rows(raw):
    """The first sheet's rows: numbers as floats, cells with a date style as dates, text as str."""
    z = zipfile.ZipFile(io.BytesIO(raw))
    styles = ET.fromstring(z.read('xl/styles.xml'))
    codes = {f.get('numFmtId'): f.get('formatCode') for f in styles.iterfind('.//m:numFmt', OOXML)}
    dated = [bool(re.search('[dy]', codes.get(x.get('numFmtId'), ''))) for x in styles.find('m:cellXfs', OOXML)]
    rows = []
    for row in ET.fromstring(z.read('xl/worksheets/sheet1.xml')).iterfind('.//m:row', OOXML):
        cells = {}
        for c in row:
            col = 0
            for ch in re.match('[A-Z]+', c.get('r')).group():
                col = col * 26 + ord(ch) - 64
            if c.get('t') == 'inlineStr':
                cells[col] = ''.join(t.text or '' for t in c.iterfind('.//m:t', OOXML))
            else:
                v = float(c.find('m:v', OOXML).text)
                when = datetime.datetime(1899, 12, 30) + datetime.timedelta(days=v)
                cells[col] = (when.date() if v == int(v) else when) if dated[int(c.get('s', 0))] else v
        rows.append([cells.get(i, '') for i in range(1, max(cells, default=0) + 1)])
    return rows


def export_rows(fmt, raw):
    """Header and rows of an export as text (numbers as written, dates ISO), for comparing."""
    if fmt == 'csv':
        return list(csv.reader(io.StringIO(raw.decode('utf-8-sig'), newline='')))
    if fmt == 'xlsx':
        return [[c.isoformat(' ') if isinstance(c, datetime.datetime) else c.isoformat() if isinstance(c, datetime.date)
                 else f'{c:.15g}' if isinstance(c, float) else c for c in r] for r in xlsx_rows(raw)]
    if fmt == 'docx':
        body = ET.fromstring(zipfile.ZipFile(io.BytesIO(raw)).read('word/document.xml'))
        return [['\n'.join(''.join(t.text or '' for t in p.iterfind('.//w:t', OOXML)) for p in tc.iterfind('w:p', OOXML))
                 for tc in tr.iterfind('w:tc', OOXML)] for tr in body.iterfind('.//w:tr', OOXML)]
    if fmt == 'xml':
        root = ET.fromstring(raw)
        return [[c.get('caption') for c in root.iterfind('columns/column')]] + [
            [f.text or '' for f in r.iterfind('field')] for r in root.iterfind('row')]
    if fmt == 'json':
        data = json.loads(raw)
        return [[c['caption'] for c in data['columns']]] + [
            ['' if v is None else str(v) for v in r.values()] for r in data['rows']]
    g = grid(raw.decode('utf-8'))   # html, print
    return [g.headers] + [r['cells'] for r in g.rows]


def same(shown, exported):
    """A cell of the page and of an export agree: the same text, or the same number ($1,234.50 is 1234.5)."""
    def number(s):
        s = re.sub(r'[$,]', '', s)
        return float(s) if re.fullmatch(r'-?\d+(\.\d+)?', s) else None
    return shown == exported or (number(shown) is not None and number(shown) == number(exported))


def mails():
    return set(os.listdir(MAIL_DIR)) if MAIL_DIR else set()


def new_mails(before):
    """The messages the sink received since `before` (a mails() set), oldest first."""
    return [email.message_from_bytes(open(os.path.join(MAIL_DIR, n), 'rb').read().replace(b'\r\n', b'\n'),
                                     policy=email.policy.default)
            for n in sorted(mails() - before) if n.endswith('.eml')]


class ExportTests(AppTest):
    FORMATS = ['csv', 'xlsx', 'docx', 'xml', 'json', 'html', 'print']

    def export(self, url, fmt):
        r = self.get_ok(url + ('&' if '?' in url else '?') + 'export=' + fmt)
        if fmt != 'print':
            self.assertIn('attachment', r.header('Content-Disposition'), fmt)
        return r.raw

    def test_every_format_holds_the_rows_shown(self):
        # a search, a sort, the page shown or all of them; lookups, fixed values, Booleans, Unicode,
        # currency, numbers and dates
        for table, query in [('orders', 'q=Rossi&order=order_date&dir=desc&all=1'),
                             ('products', 'order=unit_price&dir=desc&start=21')]:
            url = page(table, 'list') + '?' + query
            g = self.grid(url)
            headers = [h.rstrip(' \u25b2\u25bc') for h in g.headers[1:]]
            shown = [r['cells'][1:] for r in g.rows]
            self.assertTrue(shown)
            for fmt in self.FORMATS:
                rows = export_rows(fmt, self.export(url, fmt))
                self.assertEqual(rows[0], headers, fmt)
                self.assertEqual(len(rows) - 1, len(shown), fmt)
                for want, got in zip(shown, rows[1:]):
                    got += [''] * (len(want) - len(got))
                    self.assertTrue(all(map(same, want, got)), f'{fmt}: {want} != {got}')
            if ARGS.security != 'none':
                self.assertEqual(Client().get(url + '&export=csv').status, 302, 'a visitor is sent to the login')
        self.assertEqual(len(export_rows('csv', self.export(page('products', 'list') + '?all=1', 'csv'))) - 1, count('products'))
        # typed cells: numbers are numbers, dates are dates
        sheet = xlsx_rows(self.export(page('orders', 'list') + '?q=Rossi', 'xlsx'))
        self.assertIsInstance(sheet[1][0], float)
        self.assertIsInstance(sheet[1][3], datetime.date)
        data = json.loads(self.export(page('products', 'list') + '?q=Beverages', 'json'))
        self.assertIsInstance(data['rows'][0]['product_id'], int)
        self.assertIn(type(data['rows'][0]['unit_price']), (int, float))
        text = subprocess.run(['pdftotext', '-layout', '-', '-'], input=self.export(page('orders', 'list') + '?q=Rossi', 'pdf'),
                              capture_output=True, check=True).stdout.decode()
        g = self.grid(page('orders', 'list') + '?q=Rossi')
        self.assertTrue(all(cell in text for r in g.rows for cell in r['cells'][1:]), text)

    def test_record_export_has_the_exported_fields_of_the_view_page(self):
        url = page('orders', 'view') + '?key[order_id]=5'
        body = self.c.get(url).text
        shown = dict(re.findall(r'<th scope="row">([^<]*)</th><td>([^<]*)</td>', body))
        self.assertIn(caption('orders', 'notes'), shown, 'the view page shows the notes')
        del shown[caption('orders', 'notes')]   # not marked for export
        for fmt in ['xlsx', 'json', 'docx']:
            rows = export_rows(fmt, self.export(url, fmt))
            record = dict(rows) if fmt == 'docx' else dict(zip(rows[0], rows[1]))
            self.assertEqual(record.keys(), shown.keys(), fmt)
            self.assertTrue(all(same(shown[k], record[k]) for k in shown), f'{fmt}: {record}')

    def test_spreadsheets_quote_text_and_neutralise_formulas(self):
        risky = ['=1+2', '+1', '-1', '@SUM(A1)', '\tTab', '\rCR']
        for start in risky:
            sql('INSERT INTO categories (name, description) VALUES (?, ?)', f'{start} F{RUN}', f'{start} text')
        sql('INSERT INTO categories (name, description) VALUES (?, ?)', f'Quoted F{RUN}', 'He said "hi", then left')
        try:
            for fmt in ['xlsx', 'csv']:
                raw = self.export(page('categories', 'list') + f'?q=F{RUN}&all=1', fmt)
                rows = export_rows(fmt, raw)
                self.assertEqual(sorted(r[1] for r in rows[1:]), sorted([f"'{s} F{RUN}" for s in risky] + [f'Quoted F{RUN}']))
                self.assertEqual(sorted(r[2] for r in rows[1:]),
                                 sorted([f"'{s} text" for s in risky] + ['He said "hi", then left']), fmt)
            self.assertIn(b'"He said ""hi"", then left"', raw)
        finally:
            sql('DELETE FROM categories WHERE name LIKE ?', f'% F{RUN}')
        # a negative number of a numeric column is data, not a formula
        stock = db_value('SELECT units_in_stock FROM products WHERE product_id = 48')
        sql('UPDATE products SET units_in_stock = -3 WHERE product_id = 48')
        try:
            for fmt in ['csv', 'xlsx']:
                rows = export_rows(fmt, self.export(page('products', 'list') + '?q=48', fmt))
                self.assertIn('-3', rows[1], fmt)
        finally:
            sql('UPDATE products SET units_in_stock = ? WHERE product_id = 48', stock)

    def test_email_sends_the_export_and_refuses_header_injection(self):
        if not MAIL_DIR:
            self.skipTest('no SMTP sink')
        url = page('orders', 'list') + '?export=email&q=Rossi&all=1'
        _, form = self.c.form(url)
        before = mails()
        for to, subject in [('a@example.com\r\nBcc: evil@example.com', 'Orders'), ('a@example.com>, <evil@example.com', 'Orders'),
                            ('"Eve" <evil@example.com>', 'Orders'), ('a@example.com', 'Orders\r\nBcc: evil@example.com')]:
            self.assertEqual(self.c.submit(form, {'to': to, 'subject': subject}).status, 400, repr((to, subject)))
        r = self.c.submit(form, {'to': f'one{RUN}@example.com; two{RUN}@example.com', 'subject': f'Rossi {RUN}',
                                 'format': 'xlsx'})
        self.assertOk(r)
        self.assertIn(phrase('EmailSent'), r.text)
        [msg] = new_mails(before)
        self.assertEqual(msg['X-Envelope-To'], f'one{RUN}@example.com, two{RUN}@example.com')
        self.assertEqual(msg['Subject'], f'Rossi {RUN}')
        [attachment] = list(msg.iter_attachments())
        self.assertEqual(attachment.get_filename(), APP['tables']['orders']['var'] + '.xlsx')
        shown = self.grid(page('orders', 'list') + '?q=Rossi').rows
        self.assertEqual(len(xlsx_rows(attachment.get_content())) - 1, len(shown))

    def test_changes_to_orders_are_mailed(self):
        if not MAIL_DIR:
            self.skipTest('no SMTP sink')
        before = mails()
        self.assertStored(self.c.post_form(page('orders', 'add'), {'f[customer_id]': '7', 'f[order_date]': '2024-07-01',
                                                                   'f[status]': 'new', 'f[notes]': f'Mail {RUN}'}))
        oid = self.new_id('orders', 'order_id', 'notes = ?', f'Mail {RUN}')
        customer = db_row('SELECT last_name, first_name FROM customers WHERE customer_id = 7')
        edit = page('orders', 'edit') + f'?key[order_id]={oid}'
        self.assertStored(self.c.post_form(edit, {'f[status]': 'paid'}))
        self.assertStored(self.c.post_form(page('orders', 'delete') + f'?key[order_id]={oid}'))
        added, edited, deleted = new_mails(before)
        self.assertEqual(added['X-Envelope-To'], 'office@example.com')
        for msg, what in [(added, 'MailAdded'), (edited, 'MailEdited'), (deleted, 'MailDeleted')]:
            self.assertEqual(msg['Subject'], phrase(what).replace('{table}', APP['tables']['orders']['caption']))
        label = f"{customer['last_name']}, {customer['first_name']}"
        self.assertIn(f"{caption('orders', 'customer_id')}: {label}\n", added.get_content())
        self.assertIn(f"{caption('orders', 'order_id')}: {oid}\n", added.get_content())
        self.assertIn(f"{caption('orders', 'status')}: New -> Paid\n", edited.get_content())
        self.assertNotIn(caption('orders', 'customer_id'), edited.get_content(), 'only what changed')
        self.assertIn(f"{caption('orders', 'order_id')}: {oid}\n", deleted.get_content())


def tiny_png(width=1, height=1):
    """A valid PNG of one colour."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    rows = b''.join(b'\x00' + b'\x20\x80\xc0' * width for _ in range(height))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


NO_FILE = {'vmfile[photo]': ('', b'')}


class UploadTests(AppTest):
    """products.photo holds an uploaded file (tag FILE). Each test puts back the product's photo
    and removes the files it stored."""
    PRODUCT = '30'

    def setUp(self):
        if not APP['tables']['products']['fields'].get('photo', {}).get('upload'):
            self.skipTest('products.photo is not an upload field')
        super().setUp()
        self.uploads = os.path.join(ARGS.app, 'uploads')
        self.files_before = self.stored_files()
        self.photo_before = self.photo()
        self.edit_url = page('products', 'edit') + f'?key[product_id]={self.PRODUCT}'
        self.view_url = page('products', 'view') + f'?key[product_id]={self.PRODUCT}'

    def tearDown(self):
        if self.photo_before is None:
            sql('UPDATE products SET photo = NULL WHERE product_id = ?', self.PRODUCT)
        else:
            sql('UPDATE products SET photo = ? WHERE product_id = ?', self.photo_before, self.PRODUCT)
        for name in self.stored_files() - self.files_before:
            os.remove(os.path.join(self.uploads, name))
        super().tearDown()

    def stored_files(self):
        if not os.path.isdir(self.uploads):
            return set()
        return {n for n in os.listdir(self.uploads) if not n.startswith('.')}

    def stored_content(self, name):
        with open(os.path.join(self.uploads, name), 'rb') as f:
            return f.read()

    def photo(self, product=None):
        return db_value('SELECT photo FROM products WHERE product_id = ?', product or self.PRODUCT)

    def upload(self, filename, content, changes=None, url=None):
        return self.c.post_form(url or self.edit_url, changes, files={'vmfile[photo]': (filename, content)})

    def assertRefused(self, r, pid, status=200, kept=None):
        """The form came back with the message, and uploads/ holds what it held before (kept)."""
        self.assertOk(r, status)
        self.assertIn(phrase(pid), r.text)
        self.assertEqual(self.stored_files(), self.files_before if kept is None else kept, 'a refused file is not kept')

    def download_link(self, body):
        links = [html.unescape(h) for h in re.findall(r'href="([^"]+)"', body)]
        return [h for h in links if urllib.parse.parse_qs(urllib.parse.urlsplit(h).query).get('download') == ['photo']]

    def test_upload_is_stored_under_a_random_name_and_downloaded_intact(self):
        png = tiny_png()
        self.assertStored(self.upload(f'photo-{RUN}.png', png))
        stored = self.photo()
        self.assertRegex(stored, r'^[a-f0-9]{32}\.png$')
        self.assertEqual(self.stored_files() - self.files_before, {stored})
        self.assertEqual(self.stored_content(stored), png)

        r = self.get_ok(self.view_url)
        self.assertNotIn(stored, r.body, 'the stored name stays on the server')
        links = self.download_link(r.body)
        self.assertEqual(len(links), 1, 'the view page offers the download')
        d = self.get_ok(links[0])
        self.assertEqual(d.raw, png)
        self.assertTrue(d.header('Content-Disposition').startswith('attachment'), d.header('Content-Disposition'))
        self.assertEqual(d.header('Content-Type').split(';')[0].strip(), 'application/octet-stream')
        self.assertEqual(d.header('X-Content-Type-Options'), 'nosniff')

        # the folder is never served, whatever the spelling
        anonymous = Client()
        for path in ['uploads/' + stored, 'uploads%2F' + stored, './uploads/' + stored, '/uploads//' + stored]:
            for client in (self.c, anonymous):
                r = client.get(path)
                self.assertEqual(r.status, 404, path)
                self.assertNotEqual(r.raw, png, path)
        # the download needs a login like the page
        if ARGS.security != 'none':
            self.assertEqual(anonymous.get(links[0]).status, 302)

    def test_download_only_serves_a_stored_upload(self):
        other = page('products', 'view') + '?key[product_id]=31'
        self.assertIsNone(self.photo('31'))
        self.assertEqual(self.download_link(self.c.get(other).body), [], 'no file, no link')
        for column in ['photo', 'name', 'category_id', '../config', 'nothing']:
            r = self.c.get(other + '&download=' + urllib.parse.quote(column))
            self.assertEqual(r.status, 404, column)
        # a name the runtime did not give is not followed to a file
        for forged in ['../config.php', '../../etc/passwd', '0' * 32 + '.png', '0' * 32 + '.png/../../config.php']:
            sql('UPDATE products SET photo = ? WHERE product_id = ?', forged, self.PRODUCT)
            r = self.c.get(self.view_url + '&download=photo')
            self.assertEqual(r.status, 404, forged)
            self.assertNotIn('<?php', r.body, forged)

    def test_types_outside_the_allowed_extensions_are_refused(self):
        script = b'<?php echo "ran"; ?>\n'
        for name in ['shell.php', 'shell.PHP', 'shell.phtml', 'x.png.php', 'page.html', 'logo.svg', 'noextension',
                     '.htaccess', 'x.png.']:
            r = self.upload(name, script, {'f[name]': f'Refused {RUN}'})
            self.assertRefused(r, 'UploadBadType')
            self.assertIsNone(self.photo(), name)
            self.assertNotEqual(db_value('SELECT name FROM products WHERE product_id = ?', self.PRODUCT),
                                f'Refused {RUN}', 'nothing of the form is saved')
        # only the last extension counts, and the stored name keeps only that one
        self.assertStored(self.upload('x.php.png', tiny_png()))
        self.assertRegex(self.photo(), r'^[a-f0-9]{32}\.png$')
        self.assertStored(self.upload('Scan.JPG', b'\xff\xd8\xff\xe0 not really a jpeg'))
        self.assertRegex(self.photo(), r'^[a-f0-9]{32}\.jpg$')

    def test_size_limit(self):
        limit = int(APP['config']['upload']['max_size'])
        self.assertRefused(self.upload('big.txt', b'x' * (limit + 1)), 'UploadTooLarge')
        self.assertIsNone(self.photo())
        ini = subprocess.run(['php', '-r', 'echo ini_parse_quantity(ini_get("upload_max_filesize"));'],
                             capture_output=True, text=True)
        if ini.returncode == 0 and ini.stdout.strip().isdigit() and limit <= int(ini.stdout):
            self.assertStored(self.upload('exact.txt', b'y' * limit))
            self.assertEqual(os.path.getsize(os.path.join(self.uploads, self.photo())), limit)

    def test_replacing_removes_the_old_file_and_an_empty_field_keeps_it(self):
        self.assertStored(self.upload('first.png', tiny_png()))
        first = self.photo()
        # a save with the file field left empty (as a browser sends it) keeps the stored file
        r, form = self.c.form(self.edit_url)
        self.assertIn(phrase('FileStored'), r.text)
        self.assertStored(self.c.submit(form, {'f[units_in_stock]': '77'}, files=NO_FILE))
        self.assertEqual(self.photo(), first)
        self.assertTrue(os.path.isfile(os.path.join(self.uploads, first)))
        # a refused replacement changes nothing
        self.assertRefused(self.upload('second.php', b'<?php ?>'), 'UploadBadType', kept=self.stored_files())
        self.assertEqual(self.photo(), first)
        # an accepted one takes the place of the old file
        self.assertStored(self.upload('second.txt', b'second'))
        second = self.photo()
        self.assertNotEqual(second, first)
        self.assertFalse(os.path.exists(os.path.join(self.uploads, first)), 'the replaced file is removed')
        self.assertEqual(self.stored_content(second), b'second')

    def test_concurrent_change_keeps_no_file(self):
        _, form = self.c.form(self.edit_url)
        sql('UPDATE products SET units_in_stock = units_in_stock + 1 WHERE product_id = ?', self.PRODUCT)
        try:
            r = self.c.submit(form, files={'vmfile[photo]': ('late.png', tiny_png())})
        finally:
            sql('UPDATE products SET units_in_stock = units_in_stock - 1 WHERE product_id = ?', self.PRODUCT)
        self.assertIn(r.status, (200, 409))
        self.assertRefused(r, 'RecordChanged', status=r.status)
        self.assertIsNone(self.photo())

    def test_add_copy_and_delete(self):
        r = self.c.post_form(page('products', 'add'), {'f[name]': f'Upload {RUN}', 'f[category_id]': '2',
                                                       'f[unit_price]': '3', 'f[units_in_stock]': '4'},
                             files={'vmfile[photo]': ('new.gif', b'GIF89a')})
        self.assertStored(r)
        pid = self.new_id('products', 'product_id', 'name = ?', f'Upload {RUN}')
        stored = self.photo(pid)
        self.assertRegex(stored, r'^[a-f0-9]{32}\.gif$')
        # a copy does not share the file: deleting one record must not take the other's file
        copy_url = page('products', 'add') + f'?copy=1&key[product_id]={pid}'
        self.assertStored(self.c.post_form(copy_url, {'f[name]': f'Copy {RUN}'}, files=NO_FILE))
        copy = self.new_id('products', 'product_id', 'name = ?', f'Copy {RUN}')
        self.assertIsNone(self.photo(copy))
        self.assertEqual(self.c.post_form(page('products', 'delete') + f'?key[product_id]={pid}').status, 303)
        self.assertEqual(count('products', 'product_id = ?', pid), 0)
        self.assertFalse(os.path.exists(os.path.join(self.uploads, stored)), 'deleting the record removes its file')
        sql('DELETE FROM products WHERE product_id = ?', copy)


class SecurityTests(AppTest):
    def test_post_without_a_valid_token_is_refused(self):
        before = count('categories')
        _, form = self.c.form(page('categories', 'add'))
        _, theirs = logged_in_client().form(page('categories', 'add'))   # another session's token is worthless here
        for changes, drop in [({}, ['_csrf']), ({'_csrf': 'f' * 64}, []), ({'_csrf': ''}, []),
                              ({'_csrf': form_value(theirs, '_csrf')}, [])]:
            self.assertBadToken(self.c.submit(form, dict(changes, **{'f[name]': f'Forged {RUN}'}), drop=drop))
        self.assertEqual(count('categories'), before)

    def test_stored_markup_comes_back_escaped(self):
        payload = f'<script>alert("x{RUN}")</script>'
        r = self.c.post_form(page('categories', 'add'), {'f[name]': payload, 'f[description]': '<b>bold</b>'})
        self.assertStored(r)
        cid = self.new_id('categories', 'category_id', 'name = ?', payload)
        pages = [page('categories', 'list') + '?q=' + urllib.parse.quote(RUN),
                 page('categories', 'view') + f'?key[category_id]={cid}',
                 page('categories', 'edit') + f'?key[category_id]={cid}']
        for p in pages:
            r = self.get_ok(p)
            self.assertNotIn('<script>', r.body, p)
            self.assertNotIn('<b>bold', r.body, p)
            self.assertIn('&lt;script&gt;', r.body, p)
            self.assertNotIn(f'alert("x{RUN}")', r.body, p)  # quotes too: the edit form puts it in value="..."
        r = self.c.get(page('products', 'list') + '?q=' + urllib.parse.quote('<script>"\''))
        self.assertNotIn('<script>"', r.body)

    def test_injection_attempts_change_nothing(self):
        tables = ['customers', 'orders', 'order_lines']
        before = {t: count(t) for t in tables}
        attempts = [
            page('customers', 'list') + '?q=' + urllib.parse.quote("' OR 1=1; DROP TABLE customers; --"),
            page('customers', 'view') + '?key[customer_id]=' + urllib.parse.quote('1 OR 1=1'),
            page('customers', 'view') + '?key[customer_id]=' + urllib.parse.quote("1' OR '1'='1"),
            page('order_lines', 'list') + '?master=orders&fk_order_id=' + urllib.parse.quote('1 OR 1=1'),
            page('customers', 'list') + '?export=csv&q=' + urllib.parse.quote("x%' UNION SELECT 1 --"),
        ]
        for url in attempts:
            r = self.c.get(url)
            self.assertNotEqual(r.status, 500, url)
            self.assertNotIn('SQLSTATE', r.text, url)
        r = self.c.get(page('customers', 'view') + '?key[customer_id]=' + urllib.parse.quote('1 OR 1=1'))
        self.assertEqual(r.status, 404)
        _, form = self.c.form(page('order_lines', 'delete') + '?key[line_id]=1')
        r = self.c.post(page('order_lines', 'delete') + '?key[line_id]=' + urllib.parse.quote('1 OR 1=1'),
                        form['fields'])
        self.assertEqual(r.status, 404)
        self.assertEqual({t: count(t) for t in tables}, before)

    def test_session_cookie_and_headers(self):
        first = 'login.php' if ARGS.security != 'none' else page('orders', 'list')
        r = Client().get(first)
        cookie = r.header('Set-Cookie')
        self.assertIn('HttpOnly', cookie)
        self.assertIn('SameSite=Lax', cookie)
        self.assertNotIn('secure', cookie.lower())
        self.assertEqual(r.header('X-Content-Type-Options'), 'nosniff')
        self.assertIn('camera=()', r.header('Permissions-Policy'))
        self.assertEqual(r.header('X-Powered-By'), '')
        # behind a trusted proxy that speaks HTTPS to the browser, the cookie is Secure
        r = Client({'X-Forwarded-Proto': 'https'}).get(first)
        self.assertIn('secure', r.header('Set-Cookie').lower())
        for method, path in [('TRACE', first), ('TRACE', 'css/app.css'), ('PUT', first), ('DELETE', first)]:
            self.assertEqual(Client().request(path, method=method).status, 405, (method, path))


class AuthTests(AppTest):
    def setUp(self):
        if ARGS.security == 'none':
            self.skipTest('security is off')
        super().setUp()

    def test_pages_redirect_to_login(self):
        c = Client()
        for p in [page('orders', 'view') + '?key[order_id]=1', 'index.php']:
            r = c.get(p)
            self.assertEqual(r.status, 302, p)
            loc = r.header('Location')
            self.assertTrue(loc.startswith('login.php?return='), loc)
            self.assertEqual(urllib.parse.unquote(loc.split('return=', 1)[1]), p)
        before = count('categories')
        r = c.post(page('categories', 'add'), {'f[name]': 'anonymous'})
        self.assertEqual(r.status, 302)
        self.assertEqual(count('categories'), before)

    def test_failed_logins_are_limited(self):
        user, good = CREDENTIALS[ARGS.security]

        def attempt(name, password, client=None):
            r = (client or Client()).login(name, password)   # a new session for every guess changes nothing
            return r.status, phrase('TooManyAttempts') in r.text, phrase('IncorrectLogin') in r.text

        try:
            # a login that succeeds clears the failures of its name
            for password in ['wrong', '', "' OR '1'='1", 'wrong3']:
                self.assertEqual(attempt(user, password), (200, False, True), password)
            self.assertIn(attempt(user, good)[0], (302, 303))
            for i in range(5):
                self.assertEqual(attempt(user.upper(), f'wrong{i}'), (200, False, True), i)
            # the sixth is refused without the password being looked at: the right one fails too
            self.assertEqual(attempt(user, good), (429, True, False))
            for name in ['nobody', "' OR '1'='1"]:
                self.assertEqual(attempt(name, good), (200, False, True), 'other names from this address may try')
            # guesses over many names from one address: that address waits, others do not
            guesser = Client({'X-Forwarded-For': '203.0.113.7'})
            for i in range(20):
                self.assertEqual(attempt(f'name{i}', 'x', guesser), (200, False, True), i)
            self.assertEqual(attempt('name99', 'x', guesser), (429, True, False))
            self.assertEqual(attempt('name99', 'x', Client({'X-Forwarded-For': '203.0.113.8'})), (200, False, True))
        finally:
            os.remove(os.path.join(ARGS.app, 'data', 'logins.json'))

    def test_login_then_logout(self):
        c = Client()
        _, form = c.form('login.php?return=' + urllib.parse.quote(page('orders', 'list') + '?page=2'))
        anonymous_id = c.session_id()
        user, password = CREDENTIALS[ARGS.security]
        r = c.submit(form, {'username': user, 'password': password})
        self.assertIn(r.status, (302, 303))
        self.assertEqual(r.header('Location'), page('orders', 'list') + '?page=2')
        self.assertNotEqual(c.session_id(), anonymous_id, 'the session id changes on login')
        self.assertOk(c.get(page('orders', 'list')))
        # logout needs the token, then ends the session
        self.assertEqual(c.post('logout.php', {}).status, 400)
        self.assertOk(c.get(page('orders', 'list')))
        logout = [f for f in parse_forms(c.get('index.php').body) if f['action'].endswith('logout.php')]
        self.assertTrue(logout, 'the page offers a logout')
        r = c.submit(logout[0])
        self.assertIn(r.status, (302, 303))
        self.assertEqual(c.get(page('orders', 'list')).status, 302)

    def test_user_table_passwords_are_stored_hashed(self):
        if ARGS.security != 'table':
            self.skipTest('users are not in a table')
        # without user levels nobody is an administrator: no one sets another user's password
        url = page('employees', 'edit') + '?key[employee_id]=4'
        old_hash = db_value('SELECT password FROM employees WHERE employee_id = 4')
        _, form = self.c.form(url)
        self.assertIsNone(form_value(form, 'f[password]'))
        self.assertStored(self.c.submit(form, {'f[title]': f'Stock {RUN}', 'f[password]': 'taken over'}))
        self.assertEqual(db_value('SELECT password FROM employees WHERE employee_id = 4'), old_hash)
        # a new user's password: at least 8 characters, hashed whole (no 72-byte cut)
        _, form = self.c.form(page('employees', 'add'))
        login, long = f'new{RUN}', 'x' * 80
        values = {'f[first_name]': 'New', 'f[last_name]': 'User', 'f[login]': login, 'f[password]': '1'}
        r = self.c.submit(form, values)
        self.assertIn(phrase('PasswordTooShort').replace('{min}', '8'), r.text)
        self.assertStored(self.c.submit(form, dict(values, **{'f[password]': long + 'A'})))
        stored = db_value('SELECT password FROM employees WHERE login = ?', login)
        self.assertTrue(stored.startswith('$argon2id$') and long not in stored, stored)
        for password, status in [(long + 'B', (200,)), (long + 'A', (302, 303))]:
            self.assertIn(Client().login(login, password).status, status)

    def test_sessions_end_when_the_user_changes(self):
        if ARGS.security != 'table':
            self.skipTest('users are not in a table')
        # an old bcrypt hash still logs in and is replaced by the current scheme
        login = f'old{RUN}'
        old = subprocess.run(['php', '-r', 'echo password_hash("oldpassword", PASSWORD_BCRYPT);'],
                             capture_output=True, text=True, check=True).stdout
        sql('INSERT INTO employees (first_name, last_name, login, password) VALUES (?, ?, ?, ?)', 'Old', 'Hash', login, old)
        c = Client()
        self.assertIn(c.login(login, 'oldpassword').status, (302, 303))
        self.assertTrue(db_value('SELECT password FROM employees WHERE login = ?', login).startswith('$argon2id$'))
        self.assertOk(c.get(page('orders', 'list')))
        # a deleted user's session ends at its next request
        sql('DELETE FROM employees WHERE login = ?', login)
        self.assertEqual(c.get(page('orders', 'list')).status, 302)

    def test_return_url_stays_in_the_application(self):
        for target in ['http://evil.example/', '//evil.example/x.php', '/etc/passwd', 'javascript:alert(1)']:
            r = Client().login(path='login.php?return=' + urllib.parse.quote(target), extra={'return': target})
            self.assertIn(r.status, (302, 303))
            loc = r.header('Location')
            self.assertNotIn('evil', loc)
            self.assertTrue(re.match(r'^[A-Za-z0-9_-]+\.php', loc), loc)


def main():
    global ARGS, APP
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--app', required=True, help='the assembled application folder')
    parser.add_argument('--security', choices=['none', 'table', 'hardcoded'], default='none')
    ARGS, rest = parser.parse_known_args()
    ARGS.app = os.path.abspath(ARGS.app)
    APP = load_app(ARGS.app)
    if APP['config']['security']['type'] != ARGS.security:
        sys.exit(f"the application's security is {APP['config']['security']['type']!r}, not {ARGS.security!r}")
    sink = start_mail_sink(ARGS.app)
    start_server(ARGS.app)
    try:
        prog = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    finally:
        stop_server()
        if sink is not None:
            sink.terminate()
            sink.wait(10)
    sys.exit(0 if prog.result.wasSuccessful() else 1)


if __name__ == '__main__':
    main()

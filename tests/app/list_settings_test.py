"""List page settings of a generated application, checked over HTTP against its database.

    python3 list_settings_test.py --app APP --port PORT

The application is the one tests/integration/list_settings.sh generates: a table `items` (30 rows,
tests/data/schemas/thirty_items_and_notes.sql) with page sizes, several-column sorting, totals, number formats, links, inline and
grid editing and multi-update turned on, and a table `notes` with a blank list page shown as cards.
"""
import argparse, json, os, re, sys, unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import http_app_test as h  # noqa: E402  the client and database helper of the demo's tests

sql = h.sql


class Client(h.Client):
    def open(self, path, data=None):
        """(status, text) of a page, after its redirects."""
        r = self.request(path, data, follow=True)
        return r.status, r.text

    def post(self, path, data):
        token = re.search(r'name="_csrf" value="([^"]+)"', self.open('itemslist.php')[1]).group(1)
        return self.open(path, {'_csrf': token, **data})


def names(body):
    """The Name cells of the list, in order, without their tooltip."""
    cells = re.findall(r'<td class="vm-f-items-name">(.*?)</td>', body.split('<tfoot>')[0])
    return [re.sub(r'<[^>]+>', '', re.sub(r'<span class="vm-tip-text".*?</span>', '', c)) for c in cells]


def grid_rows(body):
    return re.findall(r'<tr><td class="vm-tick">', body)


class ListSettings(unittest.TestCase):
    def setUp(self):
        self.c = Client()

    def test_page_sizes_are_remembered_per_table(self):
        n = int(sql('SELECT COUNT(*) AS n FROM items')[0]['n'])
        cases = [('', 20), ('recperpage=5', 5), ('', 5), ('recperpage=7', 5), ('recperpage=ALL', n), ('', n)]
        for query, rows in cases:
            self.assertEqual(len(grid_rows(self.c.open('itemslist.php?' + query)[1])), rows, query)

    def test_sorting_by_several_columns_follows_the_database(self):
        sorts = [('qty,name', 'asc,desc', 'qty, name DESC'), ('price,name', 'desc,asc', 'price DESC, name'),
                 ('qty,bogus,price', 'desc', 'qty DESC, price')]
        for order, dirs, by in sorts:
            body = self.c.open(f'itemslist.php?recperpage=ALL&order={order}&dir={dirs}')[1]
            want = [r['name'] for r in sql(f'SELECT name FROM items ORDER BY {by}, id')]
            self.assertEqual(names(body), want, by)

    def test_totals_cover_the_whole_search_and_numbers_follow_the_format(self):
        body = self.c.open('itemslist.php?recperpage=5&q=Item+1')[1]
        total = sql("SELECT SUM(price) AS s, AVG(qty) AS a FROM items WHERE name LIKE '%Item 1%'")[0]
        self.assertIn(f'Total:</span> {float(total["s"]):,.3f}', body)
        self.assertIn(f'Average:</span> {float(total["a"]):.2f}', body)
        self.assertIn('<td class="vm-right">(8.500)</td>', self.c.open('itemslist.php?cmd=reset&order=price&dir=asc')[1],
                      'negative numbers in parentheses with 3 digits')

    def test_display_settings(self):
        body = self.c.open('itemslist.php')[1]
        self.assertRegex(body, r'<a href="https://example.com/3" target="_blank" rel="noopener noreferrer">Item 03</a>'
                         r'<span class="vm-tip-text" role="tooltip">C3</span>')
        self.assertIn('<a href="https://example.com/3"><img class="vm-img vm-thumb" src="https://example.com/3"', body)
        self.assertRegex(body, r'<h1>Items \(\d+\)</h1>')
        self.assertEqual(len(re.findall(r'class="vm-pager"', body)), 2, 'pager above and below')
        self.assertIn('<strong aria-current="page">1</strong>', body, 'numbered pages')
        css = self.c.open('css/project.css')[1]
        self.assertRegex(css, r'\.vm-f-items-name \{ font-weight: bold; width: 120px')
        self.assertIn('.vm-list-items mark.vm-highlight { background: #ffcc00; }', css)
        self.assertIn('.vm-f-items-site img.vm-img { width: 40px; height: auto;', css)

    def test_blank_list_until_a_search_then_cards(self):
        self.assertNotIn('vm-card', self.c.open('noteslist.php')[1])
        body = self.c.open('noteslist.php?q=a')[1]
        self.assertEqual(body.count('<article class="vm-card">'), 3)
        self.assertIn('vm-cards-2', body)

    def test_multi_update_sets_the_ticked_fields_in_one_transaction(self):
        before = sql('SELECT id, code, qty FROM items WHERE id IN (1, 2) ORDER BY id')
        keys = [json.dumps({'id': '1'}), json.dumps({'id': '2'})]
        form = self.c.post('itemslist.php?multiupdate=1', {'keys[]': keys})[1]
        self.assertIn('name="u[qty]"', form)
        cases = [  # ticked fields and values, the qty and code stored afterwards
            ({'u[code]': '1', 'f[code]': 'SAME', 'f[qty]': '3'}, before),           # the second row breaks UNIQUE
            ({'u[qty]': '1', 'f[qty]': 'x'}, before),                                # refused before saving
            ({'u[qty]': '1', 'f[qty]': '3', 'f[code]': 'NOT'}, [{**r, 'qty': '3'} for r in before]),
        ]
        for values, after in cases:
            self.c.post('itemslist.php?multiupdate=1', {'keys[]': keys, '_apply': '1', **values})
            self.assertEqual(sql('SELECT id, code, qty FROM items WHERE id IN (1, 2) ORDER BY id'), after, values)

    def test_inline_and_grid_changes_are_checked_and_saved(self):
        key = {'key[id]': '5'}
        status, body = self.c.open('itemslist.php?inline=edit&key%5Bid%5D=5')
        self.assertIn('name="f[name]"', body)
        cases = [  # page, posted values, stored rows (id, name, qty) of ids 5 and 6 afterwards, message
            ('inline=edit&key%5Bid%5D=5', {'f[name]': 'Five', 'f[qty]': 'abc', 'f[code]': 'C5'},
             [['5', 'Item 05', '1'], ['6', 'Item 06', '2']], 'Please correct'),
            ('inline=edit&key%5Bid%5D=5', {'f[name]': 'Five', 'f[qty]': '9', 'f[code]': 'C5'},
             [['5', 'Five', '9'], ['6', 'Item 06', '2']], None),
            ('grid=edit&start=1&order=id', {'gk[0]': '{"id":"5"}', 'g[0][name]': 'V', 'g[0][qty]': '1', 'g[0][code]': 'C5',
                                            'gk[1]': '{"id":"6"}', 'g[1][name]': 'VI', 'g[1][qty]': '-1', 'g[1][code]': 'C6'},
             [['5', 'Five', '9'], ['6', 'Item 06', '2']], 'rule'),                   # CHECK refuses the 2nd: none saved
            ('grid=edit&start=1&order=id', {'gk[0]': '{"id":"5"}', 'g[0][name]': 'V', 'g[0][qty]': '1', 'g[0][code]': 'C5',
                                            'gk[1]': '{"id":"6"}', 'g[1][name]': 'VI', 'g[1][qty]': '2', 'g[1][code]': 'C6'},
             [['5', 'V', '1'], ['6', 'VI', '2']], None),
        ]
        for query, values, stored, message in cases:
            status, body = self.c.post('itemslist.php?' + query, values)
            got = [[r['id'], r['name'], r['qty']] for r in sql('SELECT id, name, qty FROM items WHERE id IN (5, 6) ORDER BY id')]
            self.assertEqual(got, stored, values)
            if message:
                self.assertIn(message, body)
        count = sql('SELECT COUNT(*) AS n FROM items')[0]['n']
        self.c.post('itemslist.php?grid=add', {'g[0][name]': 'Added', 'g[0][qty]': '4', 'g[1][name]': '', 'g[1][qty]': ''})
        self.c.post('itemslist.php?inline=add', {'f[name]': 'Added too', 'f[qty]': '2'})
        self.assertEqual(sql('SELECT COUNT(*) AS n FROM items')[0]['n'], str(int(count) + 2))

    def test_inline_delete_posts_with_the_token_and_returns_to_the_list(self):
        body = self.c.open('itemslist.php?order=id&dir=desc')[1]
        self.assertRegex(body, r'<details class="vm-confirm">.*?<form method="post" class="vm-inline" '
                               r'action="itemsdelete\.php\?key%5Bid%5D=\d+"><input type="hidden" name="_csrf"')
        last = sql('SELECT MAX(id) AS id FROM items')[0]['id']
        status, body = self.c.post(f'itemsdelete.php?key%5Bid%5D={last}', {'_back': 'itemslist.php?order=id&dir=desc'})
        self.assertEqual(sql('SELECT COUNT(*) AS n FROM items WHERE id = ?', last)[0]['n'], '0')
        self.assertIn('<h1>Items', body)


if __name__ == '__main__':
    p = argparse.ArgumentParser()
    p.add_argument('--app', required=True)
    p.add_argument('--port', required=True)
    h.ARGS, rest = p.parse_known_args()
    h.BASE = f'http://127.0.0.1:{h.ARGS.port}/'
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=1)

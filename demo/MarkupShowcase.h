// The mark-up showcase page: every tag of the vocabulary at least once.
#pragma once

inline constexpr const char kMarkupShowcase[] =
    "<h1>Mark-up showcase</h1> <small>(every tag at least once)</small><hr>"
    "<b>bold</b>, <i>italic</i>, <em>em</em>, <u>underline</u>, <s>s</s> and <strike>strike</strike>; "
    "<font face=\"Times New Roman\" size=5 color=#aa2200>font face, size, colour</font>, "
    "<font bkgnd=yellow weight=bold>background and weight</font>, <font style=italic color=0x808000>style</font>, "
    "<font class=cpp-comment>// a class</font> and <span class=warn>a span with a class</span>.<br>"
    "Entities: &lt;b&gt; stays text, &amp;lt; &copy; &reg; &trade; &pound; &para; &quot;quoted&quot;.\n"
    "Tabs:<t>one<t>two\tthree<br>"
    "<h2>Heading 2</h2> <h3>Heading 3</h3> <h4>Heading 4</h4> <h5>Heading 5</h5> <h6>Heading 6</h6><br>"
    "<code>code()</code>, <pre>pre  formatted</pre>, <big>big</big>, <small>small</small>, "
    "x<sub>sub</sub> and x<sup>sup</sup><br>"
    "<font size=6>Tall</font> <top>top</top> <vcenter>vcenter</vcenter> <middle>middle</middle> "
    "<bottom>bottom</bottom> <baseline>baseline</baseline><br>"
    "<left>left aligned line</left><br><center>centred line</center><br><right>right aligned line</right><br>"
    "<justify>justify (drawn like left)</justify><br>"
    "Images: <bmp idres=132 width=48 height=24> <icon idres=207> <icon idres=209 width=32 height=32> "
    "<ilst idres=183 width=16 index=4 mask=#ff00ff> <ilst idres=183 width=16 speed=300 mask=#ff00ff> "
    "and a string from the table: <b><string idres=220></b><br>"
    "Links: <a href=\"https://www.quorvexsoftware.com/varnokel/\">the product page</a> and "
    "<a msg=\"showcase-message\">a link that sends a message</a><br>"
    "<table border=1 cellpadding=3 cellspacing=2 bgcolor=#e8f0ff bordercolorlight=#ffffff bordercolordark=#6080a0>"
    "<tr bgcolor=#c0d8ff><td><b>Kind</b></td><td><b>Drawn</b></td><td><b>Note</b></td></tr>"
    "<tr><td>cell</td><td bgcolor=lime>green cell</td><td align=right>right</td></tr>"
    "<tr><td colspan=2 align=center>spans two columns</td><td valign=bottom bgcolor=#ff9900 bgendcolor=#ffff00 "
    "bgeffect=hgradient>gradient</td></tr></table>"
    "<hr><body>body text again</body>";

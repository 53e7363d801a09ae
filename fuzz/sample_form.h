// A small form that touches every part of the engine: groups, a repeat with
// a nested repeat (both with templates), calculations in a chain, relevance,
// constraints with messages, required flags, a fixed and a filtered choice
// list, translations, a lookup table and geographic and date answers.
#pragma once

#include <string_view>

namespace tolvar::fuzz {

inline constexpr std::string_view kSampleForm = R"form(<?xml version="1.0"?>
<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml"
    xmlns:jr="http://openrosa.org/javarosa" xmlns:odk="http://www.opendatakit.org/xforms">
 <h:head>
  <model odk:xforms-version="1.0.0">
   <itext>
    <translation lang="en" default="true()">
     <text id="fruit-a"><value>Apple</value></text>
     <text id="age-msg"><value>Age must be 0 to 120</value></text>
    </translation>
   </itext>
   <instance>
    <data id="sample" version="3">
     <name>Ana &amp; Lía</name>
     <age>42</age>
     <born>1982-03-04</born>
     <seen>2024-05-06T10:11:12.000+02:00</seen>
     <fruit>a c</fruit>
     <pick/>
     <where>12.5 -8.25 100 5</where>
     <shape>0 0 0 0;0 1 0 0;1 1 0 0;0 0 0 0</shape>
     <double/>
     <total/>
     <hh>
      <person jr:template=""><pname/><page/><visit jr:template=""><day/></visit></person>
      <person><pname>Bo</pname><page>7</page></person>
      <person><pname>Cy</pname><page>11</page><visit><day>2024-01-02</day></visit></person>
     </hh>
     <note a="1" b="two">text</note>
     <meta><instanceID>uuid:1</instanceID></meta>
    </data>
   </instance>
   <instance id="fruits">
    <root>
     <item><name>a</name><label>Apple</label><itextId>fruit-a</itextId><colour>red</colour></item>
     <item><name>b</name><label>Banana</label><colour>yellow</colour></item>
     <item><name>c</name><label>Cherry</label><colour>red</colour></item>
    </root>
   </instance>
   <bind nodeset="/data/name" type="string" required="true()"/>
   <bind nodeset="/data/age" type="int" constraint=". &gt;= 0 and . &lt;= 120"
         jr:constraintMsg="jr:itext('age-msg')" required="true()"/>
   <bind nodeset="/data/born" type="date" relevant="/data/age &gt; 0"/>
   <bind nodeset="/data/double" calculate="/data/age * 2"/>
   <bind nodeset="/data/total" calculate="/data/double + sum(/data/hh/person/page)"/>
   <bind nodeset="/data/pick" relevant="selected(/data/fruit, 'a')"
         constraint="jr:choice-name(., '/data/pick') != ''"/>
   <bind nodeset="/data/hh/person/page" type="int" constraint=". &gt; 0"
         jr:constraintMsg="a person is at least one year old" required="true()"/>
   <bind nodeset="/data/hh/person/visit/day" type="date" relevant="../../page &gt; 1"/>
   <bind nodeset="/data/where" type="geopoint"/>
   <bind nodeset="/data/shape" type="geoshape" constraint="area(.) &gt;= 0"/>
   <bind nodeset="/data/meta/instanceID" readonly="true()" calculate="concat('uuid:', /data/age)"/>
  </model>
 </h:head>
 <h:body>
  <input ref="/data/name"><label>Name</label></input>
  <input ref="/data/age"><label>Age</label></input>
  <select ref="/data/fruit">
   <item><label ref="jr:itext('fruit-a')"/><value>a</value></item>
   <item><label>Banana</label><value>b</value></item>
  </select>
  <select1 ref="/data/pick">
   <itemset nodeset="instance('fruits')/root/item[colour = 'red']">
    <value ref="name"/><label ref="label"/>
   </itemset>
  </select1>
  <group ref="/data/hh">
   <repeat nodeset="/data/hh/person">
    <input ref="/data/hh/person/pname"/>
    <repeat nodeset="/data/hh/person/visit"><input ref="/data/hh/person/visit/day"/></repeat>
   </repeat>
  </group>
 </h:body>
</h:html>
)form";

// Paths the session harness picks from, so that fuzzed edits reach real
// nodes and repeats far more often than random text would.
inline constexpr std::string_view kSamplePaths[] = {
    "/data/name",        "/data/age",          "/data/born",
    "/data/fruit",       "/data/pick",         "/data/total",
    "/data/hh/person",   "/data/hh/person[1]", "/data/hh/person[2]/page",
    "/data/hh/person/visit", "/data/hh/person[2]/visit", "/data/hh/person[3]/visit[1]/day",
    "/data/new/leaf",    "/data/note/@a",      "/data/meta/instanceID",
    "/data/where",       "/data/shape",        "instance('fruits')/root/item",
};

}  // namespace tolvar::fuzz
